#!/usr/bin/python3
"""measure-web.py: the figures of the web display, on the portable program off screen and headless Chromium.

  - CPU: the program's processor time while kestrel-feed flies over GEORGIA at 20 MONITOR datagrams a second
    (every datagram moves the map: 20 new frames a second), with no viewer, one viewer and four viewers, and the
    frames a second each viewer drew;
  - latency: the time from a MONITOR datagram that moves the view to the moved frame drawn in the browser's page
    (both clocks are the machine's), median and spread over SAMPLES datagrams.

Usage: tools/web/measure-web.py [--samples N] [--seconds S] [--screenshot FILE] [--baseline PROGRAM]
(defaults 100 and 20). Needs build/native (kestrel, kestrel-feed) and the sample theatres (make theatres). Prints the
figures as they come, then one table of them with the load average at the start and the end of each program's run.
--baseline measures another build of the program first (an older kestrel, say), back to back with build/native's in
the same run, so that a shared machine's load weighs on both alike, and the table shows the two side by side.
"""
import argparse
import base64
import json
import os
import shutil
import socket
import statistics
import subprocess
import sys
import tempfile
import time
import urllib.request

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
sys.path.insert(0, os.path.join(ROOT, "tests", "web"))
import browser_test  # noqa: E402  the program and browser drivers of the browser test
import websocket  # noqa: E402

# Window pixels of the 425 x 425 frame: MODE, LOAD GEORGIA on the DATABASES page, and a square of map around
# the view centre, which moves with the ownship on MONITORING.
MODE = (215, 407)
LOAD_GEORGIA = (314, 210)
MAP_SQUARE = (150, 150, 275, 275)


def press(url, point):
    data = f"x={point[0]}&y={point[1]}".encode()
    with urllib.request.urlopen(urllib.request.Request(url + "press", data=data), timeout=10) as reply:
        assert reply.status == 204
    time.sleep(0.3)  # the same button acts again only after a button tick (every 200 ms)


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def load():
    return open("/proc/loadavg").read().split()[:3]


class Viewer:
    """One more page of the display in the browser, in a window of its own, never throttled as a background tab."""

    def __init__(self, browser, port, url):
        target = browser.call("Target.createTarget", url=url, newWindow=True, width=600, height=700)["targetId"]
        pages = [t for t in browser.targets(port) if t.get("id") == target]
        self.ws = websocket.create_connection(pages[0]["webSocketDebuggerUrl"], suppress_origin=True, timeout=60)
        self.next_id = 0
        browser_test.wait_for("a viewer's first frame", lambda: self.evaluate("window.kestrel ? kestrel.frames : 0"))

    call = browser_test.Browser.call
    evaluate = browser_test.Browser.evaluate


def measure_cpu(program, seconds, viewers):
    frames = [v.evaluate("kestrel.frames") for v in viewers]
    start_cpu, start = cpu_seconds(program.process.pid), time.monotonic()
    time.sleep(seconds)
    used, elapsed = cpu_seconds(program.process.pid) - start_cpu, time.monotonic() - start
    rates = [(v.evaluate("kestrel.frames") - f) / elapsed for v, f in zip(viewers, frames)]
    return 100 * used / elapsed, rates


SIGNATURE = """(() => {
  const [l, t, r, b] = %s, c = document.getElementById('display'), k = c.width / 425;
  const d = c.getContext('2d').getImageData(Math.floor(l * k), Math.floor(t * k), Math.ceil((r - l) * k),
                                            Math.ceil((b - t) * k)).data;
  let h = 0;
  for (let i = 0; i < d.length; i += 4) h = (h * 31 + d[i] + 3 * d[i + 1] + 7 * d[i + 2]) | 0;
  return h;
})()""" % list(MAP_SQUARE)
# Resolves with the time the first frame whose map square differs from the one shown now was drawn.
MOVED = """(async () => {
  const before = %s;
  for (;;) { const f = await kestrel.nextFrame(); if (%s !== before) return f.shownAt; }
})()""" % (SIGNATURE, SIGNATURE)


def measure_latency(viewer, udp_port, samples):
    sender = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    latencies = []
    for i in range(samples):
        viewer.next_id += 1
        viewer.ws.send(json.dumps({"id": viewer.next_id, "method": "Runtime.evaluate",
                                   "params": {"expression": MOVED, "awaitPromise": True, "returnByValue": True}}))
        time.sleep(0.05)  # the page has taken the promise (no figure depends on this pause)
        lat = 41.6 + 0.04 * (i % 20)
        datagram = f"KESTREL MONITOR:Lat={lat:.4f},Long=44.8,Compass=0.5,Alt=3000".encode()
        sent = time.time() * 1000
        sender.sendto(datagram, ("127.0.0.1", udp_port))
        while True:
            message = json.loads(viewer.ws.recv())
            if message.get("id") == viewer.next_id:
                break
        latencies.append(message["result"]["result"]["value"] - sent)
        time.sleep(0.25)
    return latencies


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--samples", type=int, default=100)
    parser.add_argument("--seconds", type=float, default=20)
    parser.add_argument("--screenshot", help="save the first viewer's page during the flight here (PNG)")
    parser.add_argument("--baseline", help="another kestrel program to measure first, the same way")
    args = parser.parse_args()
    theatres = os.path.join(ROOT, "build", "theatres")
    if not os.path.exists(os.path.join(theatres, "kestrel-georgia.bmp")):
        raise SystemExit("measure-web: the sample theatres are missing (make theatres)")
    runs = []
    if args.baseline:
        if not os.access(args.baseline, os.X_OK):
            raise SystemExit(f"measure-web: --baseline {args.baseline} is not a program")
        print(f"== baseline: {args.baseline}")
        runs.append(("baseline", measure(args, args.baseline, theatres, None)))
    program = os.path.join(ROOT, "build", "native", "kestrel")
    print(f"== this build: {program}")
    runs.append(("this build", measure(args, program, theatres, args.screenshot)))
    print_table(args, runs)


def print_table(args, runs):
    """The figures of every run side by side, one row a figure."""
    rows = [("load average at the start", "load_start"),
            ("no viewer: % of a core", "cpu0"),
            ("one viewer: % of a core", "cpu1"),
            ("one viewer: frames a second", "fps1"),
            ("four viewers: % of a core", "cpu4"),
            ("four viewers: frames a second, each (mean)", "fps4"),
            ("four viewers: frames a second, slowest", "fps4_min")]
    if args.samples >= 2:
        rows += [("datagram to moved frame: median ms", "latency_median"),
                 ("datagram to moved frame: 95% ms", "latency_95")]
    rows.append(("load average at the end", "load_end"))
    print(f"\nweb display, kestrel-feed at 20 MONITOR a second over GEORGIA, {args.seconds:g} s a figure")
    print(f"{'':44}" + "".join(f"{name:>18}" for name, _ in runs))
    for title, key in rows:
        cells = []
        for _, figures in runs:
            value = figures.get(key)
            cells.append(value if isinstance(value, str) else "-" if value is None else f"{value:.1f}")
        print(f"{title:44}" + "".join(f"{cell:>18}" for cell in cells))


def measure(args, program_path, theatres, screenshot):
    """Measures one program; returns its figures by name (see print_table)."""
    figures = {"load_start": " ".join(load())}
    print(f"load average at the start: {figures['load_start']}")
    folder = tempfile.mkdtemp(prefix="kestrel-measure-web-")
    settings = (f"GEORGIA map={theatres}/kestrel-georgia.bmp\nGEORGIA grid={theatres}/kestrel-georgia.grid\n")
    program = browser = feed = None
    try:
        program = browser_test.Program(program_path, folder, settings)
        udp_port = int(open(os.path.join(folder, "config", "kestrel", "settings.ini")).read()
                       .split("UDP Port=")[1].split()[0])
        for point in [MODE] * 4 + [LOAD_GEORGIA, MODE]:  # DATABASES, LOAD GEORGIA, back to MONITORING
            press(program.url, point)
        browser = browser_test.Browser(folder, ["--disable-background-timer-throttling",
                                                "--disable-renderer-backgrounding",
                                                "--disable-backgrounding-occluded-windows"])
        port = browser.devtools_port
        feed = subprocess.Popen([os.path.join(ROOT, "build", "native", "tools", "feed", "kestrel-feed"), "fly",
                                 "--theatre", "georgia", "--rate", "20", "--port", str(udp_port)],
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        time.sleep(2)  # the flight under way
        viewers = []
        for count in (0, 1, 4):
            while len(viewers) < count:
                viewers.append(Viewer(browser, port, program.url))
            cpu, rates = measure_cpu(program, args.seconds, viewers)
            shown = ", ".join(f"{r:.1f}" for r in rates) or "-"
            print(f"{count} viewer(s): the program uses {cpu:.1f}% of one core; frames a second per viewer: {shown}")
            figures[f"cpu{count}"] = cpu
            if rates:
                figures[f"fps{count}"] = statistics.mean(rates)
                if count > 1:
                    figures[f"fps{count}_min"] = min(rates)
            if count == 1 and screenshot:
                shot = viewers[0].call("Page.captureScreenshot", format="png")
                with open(screenshot, "wb") as f:
                    f.write(base64.b64decode(shot["data"]))
        feed.terminate()
        feed.wait()
        feed = None
        if args.samples >= 2:  # --samples 0: the processor time alone
            latencies = measure_latency(viewers[0], udp_port, args.samples)
            q = statistics.quantiles(latencies, n=20)
            figures["latency_median"], figures["latency_95"] = statistics.median(latencies), q[-1]
            print(f"MONITOR datagram to the moved frame in the browser, {len(latencies)} samples: median "
                  f"{statistics.median(latencies):.1f} ms, 5% {q[0]:.1f} ms, 95% {q[-1]:.1f} ms, "
                  f"max {max(latencies):.1f} ms")
    finally:
        if feed is not None:
            feed.terminate()
            feed.wait()
        if browser is not None:
            browser.close()
        if program is not None:
            program.stop()
        shutil.rmtree(folder, ignore_errors=True)
    figures["load_end"] = " ".join(load())
    print(f"load average at the end: {figures['load_end']}")
    return figures


if __name__ == "__main__":
    main()
