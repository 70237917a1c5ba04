// web_page.cpp: the web display's one page: the frames drawn to fit the browser's window, and taps sent as
// presses when the display takes them.
//
// The page asks for frame.png?after=N, one request at a time and at most 20 a second; the server answers
// with the first frame newer than N (X-Frame: its number), or with 204 after two seconds of no change, which
// also tells whether the display still paints. A frame is decoded off screen and then drawn in one step, so
// nothing flickers. The canvas holds device pixels, so that a high-density screen shows the frame sharp.
#include "display/web_display.h"

namespace {

const char kPage[] = R"PAGE(<!doctype html>
<html lang="en">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1, maximum-scale=1, user-scalable=no">
<meta name="apple-mobile-web-app-capable" content="yes">
<title>KESTREL</title>
<style>
html, body { margin: 0; height: 100%; background: #000; overflow: hidden; }
body { touch-action: none; -webkit-user-select: none; user-select: none; -webkit-touch-callout: none; }
#display { position: absolute; left: 50%; top: 50%; transform: translate(-50%, -50%); background: #000; }
#status { position: fixed; left: 0; right: 0; top: 0; padding: 0.7em; display: none; text-align: center;
  font: bold 18px/1.3 sans-serif; color: #000; background: #ffb000; }
.tap { position: fixed; width: 36px; height: 36px; margin: -21px 0 0 -21px; border: 3px solid #0f0;
  border-radius: 50%; pointer-events: none; animation: tap 0.4s ease-out forwards; }
@keyframes tap { from { opacity: 1; transform: scale(0.3); } to { opacity: 0; transform: scale(1.5); } }
</style>
</head>
<body>
<canvas id="display" width="1" height="1"></canvas>
<div id="status" role="status"></div>
<script>
"use strict";
const CONTROL = @CONTROL@;
const canvas = document.getElementById("display");
const context = canvas.getContext("2d", { alpha: false });
const status = document.getElementById("status");
// What the page shows, for whoever looks at it from outside (a test, a measurement): frames drawn, the last
// one's number and when it was drawn, and a promise of the next one.
const kestrel = { frames: 0, version: 0, shownAt: 0, waiting: [] };
kestrel.nextFrame = () => new Promise(resolve => kestrel.waiting.push(resolve));
window.kestrel = kestrel;
let image = null, frameWidth = 0, frameHeight = 0;

function layout() {
  if (!frameWidth) return;
  const scale = Math.min(window.innerWidth / frameWidth, window.innerHeight / frameHeight);
  const width = Math.max(1, Math.floor(frameWidth * scale)), height = Math.max(1, Math.floor(frameHeight * scale));
  canvas.style.width = width + "px";
  canvas.style.height = height + "px";
  const ratio = window.devicePixelRatio || 1;
  const deviceWidth = Math.round(width * ratio), deviceHeight = Math.round(height * ratio);
  if (canvas.width !== deviceWidth || canvas.height !== deviceHeight) {
    canvas.width = deviceWidth;
    canvas.height = deviceHeight;
  }
  draw();
}

function draw() {
  if (!image) return;
  // Where a window pixel covers two device pixels or more, repeat it: lines and letters stay sharp. Below
  // that, smoothing keeps the thin lines that dropping pixels would lose.
  context.imageSmoothingEnabled = canvas.width < 2 * frameWidth;
  context.drawImage(image, 0, 0, canvas.width, canvas.height);
}

function say(text) {
  status.textContent = text;
  status.style.display = text ? "block" : "none";
}

const sleep = ms => new Promise(resolve => setTimeout(resolve, ms));

async function decode(blob) {
  if (window.createImageBitmap) return createImageBitmap(blob);
  const img = new Image();
  img.src = URL.createObjectURL(blob);
  try { await img.decode(); } finally { URL.revokeObjectURL(img.src); }
  return img;
}

function show(next, version) {
  if (image && image.close) image.close();
  image = next;
  if (next.width !== frameWidth || next.height !== frameHeight) {
    frameWidth = next.width;
    frameHeight = next.height;
    layout();
  } else {
    draw();
  }
  kestrel.frames += 1;
  kestrel.version = version;
  kestrel.shownAt = Date.now();
  for (const resolve of kestrel.waiting.splice(0)) resolve({ version, shownAt: kestrel.shownAt });
}

const kNotAnswering = "KESTREL IS NOT ANSWERING. This page keeps trying and shows the display again when it answers.";

async function follow() {
  let version = 0, started = 0;
  for (;;) {
    const early = started + 50 - performance.now(); // at most 20 frames a second
    if (early > 0) await sleep(early);
    started = performance.now();
    const abort = new AbortController();
    const timer = setTimeout(() => abort.abort(), 6000);
    try {
      const reply = await fetch("frame.png?after=" + version, { cache: "no-store", signal: abort.signal });
      if (reply.status === 200) {
        const next = await decode(await reply.blob());
        version = Number(reply.headers.get("X-Frame")) || version;
        show(next, version);
        say("");
      } else if (reply.status === 204) {
        say(reply.headers.get("X-Display") === "stalled" ? "KESTREL IS NOT ANSWERING: its display has stopped." : "");
      } else {
        throw new Error("HTTP " + reply.status);
      }
    } catch (error) {
      say(kNotAnswering);
      await sleep(1000);
    } finally {
      clearTimeout(timer);
    }
  }
}

function ring(x, y) {
  const mark = document.createElement("div");
  mark.className = "tap";
  mark.style.left = x + "px";
  mark.style.top = y + "px";
  mark.addEventListener("animationend", () => mark.remove());
  document.body.appendChild(mark);
}

if (CONTROL) {
  canvas.addEventListener("pointerdown", event => {
    event.preventDefault();
    if (!frameWidth) return;
    const box = canvas.getBoundingClientRect();
    const x = Math.floor((event.clientX - box.left) * frameWidth / box.width);
    const y = Math.floor((event.clientY - box.top) * frameHeight / box.height);
    if (x < 0 || y < 0 || x >= frameWidth || y >= frameHeight) return;
    ring(event.clientX, event.clientY);
    fetch("press", { method: "POST", headers: { "Content-Type": "application/x-www-form-urlencoded" },
                     body: "x=" + x + "&y=" + y })
      .then(reply => { if (reply.status !== 204) say("The press was refused (HTTP " + reply.status + ")."); })
      .catch(() => say(kNotAnswering));
  });
}
window.addEventListener("resize", layout);
follow();
</script>
</body>
</html>
)PAGE";

std::string PageWith(const char *control) {
  std::string page = kPage;
  const std::string mark = "@CONTROL@";
  page.replace(page.find(mark), mark.size(), control);
  return page;
}

} // namespace

const std::string &WebDisplayPage(bool control) {
  static const std::string with_control = PageWith("true"), view_only = PageWith("false");
  return control ? with_control : view_only;
}
