#!/usr/bin/python3
"""browser_test.py: the web display in a real browser.

Starts the portable program off screen with the web display on a free port, opens its page in headless
Chromium (Debian's), waits until the page shows the display, taps the MODE label as a finger would and waits
until the page's title row shows the next page. Every wait is for a state; the deadlines only end a run that
hangs. With --screenshot FILE it also saves what the browser shows.

With --wine, the program is the Windows build (kestrel.exe) under Wine, on the WINEPREFIX and DISPLAY the
caller prepared (scripts/run-wine-tests.sh): its settings go into Wine's registry, and it is ended by closing its
window.

Usage: browser_test.py --program build/native/kestrel [--wine] [--screenshot FILE] [--settings EXTRA.ini]
                       [--keep-running SECONDS]
"""
import argparse
import base64
import json
import os
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
import urllib.request

import websocket  # python3-websocket

HUNG = 120.0  # seconds: only a run that hangs reaches it

# The 425 x 425 window's frame: the title row and the centre of the MODE label (button 13, the middle of the
# bottom row: x = W - 3 * (W / 6) = 215, between y = H - 2F - 5 = 394 and H - 5 = 420).
WINDOW = 425
TITLE = (108, 26, 316, 39)
MODE = (215, 407)


def free_port(kind):
    with socket.socket(socket.AF_INET, kind) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_for(what, check, limit=HUNG, last=None):
    """Polls check until it gives a true value, the state it looks for; what names that state in the failure, and
    last(), when given, what was seen instead."""
    until = time.monotonic() + limit
    while time.monotonic() < until:
        value = check()
        if value:
            return value
        time.sleep(0.05)
    seen = f" (last seen: {last()})" if last else ""
    raise SystemExit(f"browser_test: {what} never came within {limit:.0f} s{seen}")


def answers(url):
    try:
        with urllib.request.urlopen(url, timeout=5) as reply:
            return reply.status == 200
    except OSError:
        return False


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


class WindowsProgram:
    """The Windows build under Wine, its settings in Wine's registry (emptied first, under both keys)."""

    def __init__(self, path, folder, extra_settings):
        self.port = free_port(socket.SOCK_STREAM)
        values = {"Web Port": str(self.port), "Web Control": "1", "UDP Port": str(free_port(socket.SOCK_DGRAM))}
        for line in extra_settings.splitlines():
            if "=" in line:
                name, value = line.split("=", 1)
                values[name] = value
        reg = os.path.join(folder, "settings.reg")
        with open(reg, "w") as f:
            f.write("REGEDIT4\n\n[-HKEY_CURRENT_USER\\Software\\Orvel\\KESTREL]\n\n"
                    "[-HKEY_LOCAL_MACHINE\\Software\\Orvel\\KESTREL]\n\n[HKEY_LOCAL_MACHINE\\Software\\Orvel\\KESTREL]\n")
            for name, value in values.items():
                f.write('"%s"="%s"\n' % (name, value.replace("\\", "\\\\")))
        subprocess.run(["wine", "reg", "import", windows_path(reg)], check=True, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=HUNG)
        self.log = open(os.path.join(folder, "wine.log"), "w+")
        self.process = subprocess.Popen(["wine", path], stdout=subprocess.DEVNULL, stderr=self.log)
        self.url = f"http://127.0.0.1:{self.port}/"
        wait_for("an answer from the Windows program's web display", self.serving)

    def serving(self):
        if self.process.poll() is not None:
            raise SystemExit(f"browser_test: the program ended with {self.process.returncode}")
        return answers(self.url)

    def stop(self):
        if self.process.poll() is None:  # closed as a pilot closes it: Wine's taskkill sends WM_CLOSE
            subprocess.run(["wine", "taskkill", "/im", "kestrel.exe"], stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL, timeout=HUNG)
        return self.process.wait(timeout=HUNG)


class Program:
    """The portable program, off screen, with a settings file of its own."""

    def __init__(self, path, folder, extra_settings):
        self.folder = folder
        for attempt in range(3):
            self.port = free_port(socket.SOCK_STREAM)
            config = os.path.join(folder, "config", "kestrel")
            os.makedirs(config, exist_ok=True)
            with open(os.path.join(config, "settings.ini"), "w") as f:
                f.write(f"Web Port={self.port}\nWeb Control=1\nUDP Port={free_port(socket.SOCK_DGRAM)}\n")
                f.write(extra_settings)
            env = dict(os.environ, XDG_CONFIG_HOME=os.path.join(folder, "config"),
                       XDG_STATE_HOME=os.path.join(folder, "state"), SDL_VIDEODRIVER="offscreen",
                       XDG_CONFIG_DIRS=os.path.join(folder, "system"),  # not an installed package's /etc/xdg
                       SDL_AUDIODRIVER="dummy",
                       # What SDL's drivers allocate reads as leaks in a sanitizer build; the unit tests check
                       # the program's own memory.
                       ASAN_OPTIONS="detect_leaks=0")
            self.log = open(os.path.join(folder, f"kestrel-{attempt}.log"), "w+")
            self.process = subprocess.Popen([path, "--seconds", "900"], env=env, stderr=self.log,
                                            stdout=subprocess.DEVNULL)
            line = wait_for("the web display's start-up line", self.web_line)
            if "http://" in line:
                self.url = f"http://127.0.0.1:{self.port}/"
                return
            self.stop()  # the port was taken in between: another one
        raise SystemExit("browser_test: the program could not listen on a free port")

    def web_line(self):
        self.log.seek(0)
        for line in self.log.read().splitlines():
            if line.startswith("web display:"):
                return line
        if self.process.poll() is not None:
            raise SystemExit(f"browser_test: the program ended with {self.process.returncode}")
        return None

    def stop(self):
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)  # SDL turns it into a quit: the program ends as when closed
        return self.process.wait(timeout=HUNG)


class Browser:
    """Headless Chromium driven over the DevTools protocol."""

    def __init__(self, folder, extra_flags=()):
        profile = os.path.join(folder, "chromium")
        self.process = subprocess.Popen(
            ["chromium", "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
             "--disable-background-networking", "--disable-component-update", "--disable-sync",
             "--disable-extensions", "--no-default-browser-check", f"--user-data-dir={profile}",
             "--remote-debugging-address=127.0.0.1", "--remote-debugging-port=0", "--window-size=600,760",
             *extra_flags, "about:blank"],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        active = os.path.join(profile, "DevToolsActivePort")
        port = wait_for("the browser's DevTools port", lambda: os.path.exists(active) and open(active).readline().strip())
        self.devtools_port = port
        targets = wait_for("the browser's page", lambda: [t for t in self.targets(port) if t["type"] == "page"])
        self.ws = websocket.create_connection(targets[0]["webSocketDebuggerUrl"], suppress_origin=True, timeout=HUNG)
        self.next_id = 0

    @staticmethod
    def targets(port):
        try:
            with urllib.request.urlopen(f"http://127.0.0.1:{port}/json/list", timeout=5) as reply:
                return json.load(reply)
        except OSError:
            return []

    def call(self, method, **params):
        self.next_id += 1
        self.ws.send(json.dumps({"id": self.next_id, "method": method, "params": params}))
        while True:
            message = json.loads(self.ws.recv())
            if message.get("id") == self.next_id:
                if "error" in message:
                    raise SystemExit(f"browser_test: {method}: {message['error']}")
                return message.get("result", {})

    def evaluate(self, expression):
        result = self.call("Runtime.evaluate", expression=expression, returnByValue=True, awaitPromise=True)
        if "exceptionDetails" in result:
            raise SystemExit(f"browser_test: the page failed: {result['exceptionDetails']}")
        return result["result"].get("value")

    def close(self):
        try:
            self.call("Browser.close")
        except (OSError, websocket.WebSocketException, SystemExit):
            pass
        try:
            self.process.wait(timeout=HUNG)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()


# In the page: a window-pixel rectangle of what the canvas shows, as a list of its pixels' brightness, and the
# canvas's place on the screen.
REGION = """(([l, t, r, b]) => {
  const c = document.getElementById('display'), k = c.width / %d;
  const d = c.getContext('2d').getImageData(Math.floor(l * k), Math.floor(t * k), Math.ceil((r - l) * k),
                                            Math.ceil((b - t) * k)).data;
  const out = [];
  for (let i = 0; i < d.length; i += 4) out.push(d[i] + d[i + 1] + d[i + 2]);
  return out;
})""" % WINDOW
BOX = "(() => { const b = document.getElementById('display').getBoundingClientRect(); " \
      "return [b.left, b.top, b.width, b.height]; })()"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--wine", action="store_true", help="the program is kestrel.exe, run under Wine")
    parser.add_argument("--screenshot")
    parser.add_argument("--settings", help="more settings lines for the program (a map, say)")
    parser.add_argument("--keep-running", type=float, default=0,
                        help="seconds to leave the page open before the tap (a screenshot of a flight)")
    args = parser.parse_args()
    if shutil.which("chromium") is None:
        raise SystemExit("browser_test: chromium is not installed (scripts/install-deps.sh installs it)")
    extra = open(args.settings).read() if args.settings else ""
    folder = tempfile.mkdtemp(prefix="kestrel-browser-")
    program = browser = None
    try:
        program = (WindowsProgram if args.wine else Program)(args.program, folder, extra)
        browser = Browser(folder)
        browser.call("Page.navigate", url=program.url)
        region = lambda rect: browser.evaluate(f"{REGION}({list(rect)})")
        # The state: a frame of the display drawn in the page, lit (500 pixels or more) and with its page's title.
        # A page that shows a blank display or none never gets there.
        seen = {}

        def display_shown():
            seen["frames"] = browser.evaluate("window.kestrel ? kestrel.frames : 0")
            if not seen["frames"]:
                return False
            seen["lit"] = sum(1 for v in region((0, 0, WINDOW, WINDOW)) if v > 60)
            seen["title"] = region(TITLE)
            seen["title lit"] = sum(1 for v in seen["title"] if v > 60)
            return seen["lit"] >= 500 and seen["title lit"] >= 20

        wait_for("a frame of the display in the page, lit and with a title", display_shown,
                 last=lambda: {k: v for k, v in seen.items() if k != "title"})
        lit, title = seen["lit"], seen["title"]
        if args.keep_running > 0:
            time.sleep(args.keep_running)  # a picture of the flight, not a wait for a state
        if args.screenshot:
            shot = browser.call("Page.captureScreenshot", format="png")
            with open(args.screenshot, "wb") as f:
                f.write(base64.b64decode(shot["data"]))

        left, top, width, height = browser.evaluate(BOX)
        x = left + (MODE[0] + 0.5) * width / WINDOW
        y = top + (MODE[1] + 0.5) * height / WINDOW
        for kind in ("mousePressed", "mouseReleased"):
            browser.call("Input.dispatchMouseEvent", type=kind, x=x, y=y, button="left", clickCount=1)
        wait_for("another page's title in the page after the tap on MODE", lambda: region(TITLE) != title)
        print(f"browser_test: the page showed the display ({lit} lit pixels) and turned to the next page on a tap")
    finally:
        if browser is not None:
            browser.close()
        if program is not None:
            code = program.stop()
            if code != 0:
                program.log.seek(0)
                sys.stderr.write(program.log.read())
                raise SystemExit(f"browser_test: the program ended with {code}")
        if os.environ.get("KESTREL_BROWSER_KEEP") != "1":
            shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    main()
