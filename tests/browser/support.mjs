// What the browser tests share: the `ondrel serve` server on a free loopback port, stopped by its
// process id on every path; Debian's chromium with a fresh profile and nothing that reaches the
// network; waiting for the page's renders; `ondrel` itself, for what the page is checked
// against; and reading PNG files.
import { chromium } from "playwright-core";
import { spawn, execFileSync } from "node:child_process";
import fs from "node:fs";
import os from "node:os";
import path from "node:path";
import zlib from "node:zlib";

export const ondrel = process.env.ONDREL;
export const shapes = process.env.ONDREL_MODULE;
export const probe = process.env.PROBE_MODULE;
export const output = process.env.ONDREL_TEST_OUTPUT ?? os.tmpdir();

if (!ondrel || !shapes) {
  throw new Error("run through CTest: ONDREL and ONDREL_MODULE name the command and the module");
}

const running = new Set(); // servers to stop however the test ends
process.on("exit", () => {
  for (const child of running) {
    try { process.kill(child.pid, "SIGTERM"); } catch { /* gone already */ }
  }
});

// Starts `ondrel serve --port 0` (of `command`, another build's for a comparison; at the port
// `args` name, if any) and reads the address it prints.
export async function startServer(args = [], module = shapes, command = ondrel) {
  const port = args.includes("--port") ? [] : ["--port", "0"];
  const child = spawn(command, ["serve", ...port, "--module", module, ...args], {
    stdio: ["ignore", "pipe", "pipe"],
  });
  running.add(child);
  let log = "";
  child.stderr.on("data", (d) => { log += d; });
  const exited = new Promise((resolve) => child.on("exit", resolve));
  const url = await new Promise((resolve, reject) => {
    let out = "";
    const timer = setTimeout(() => reject(new Error(`no address from ondrel serve: ${out}${log}`)), 30000);
    child.stdout.on("data", (d) => {
      out += d;
      const found = /http:\/\/127\.0\.0\.1:\d+\//.exec(out);
      if (found) { clearTimeout(timer); resolve(found[0]); }
    });
    child.on("exit", (code) => { clearTimeout(timer); reject(new Error(`ondrel serve ended (${code}): ${log}`)); });
  });
  return {
    url,
    log: () => log,
    async stop() {
      if (child.exitCode === null && child.signalCode === null) process.kill(child.pid, "SIGTERM");
      await exited;
      running.delete(child);
    },
  };
}

// Debian's chromium, headless, with a profile of its own that is removed afterwards; `options`
// add to the context's (a viewport, a device scale factor).
export async function startBrowser(options = {}) {
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), "ondrel-chromium-"));
  const context = await chromium.launchPersistentContext(profile, {
    executablePath: "/usr/bin/chromium",
    headless: true,
    args: ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
      "--disable-background-networking", "--disable-component-update", "--disable-sync"],
    viewport: {width: 1280, height: 800},
    acceptDownloads: true,
    ...options,
  });
  return {
    context,
    async close() {
      await context.close();
      fs.rmSync(profile, {recursive: true, force: true});
    },
  };
}

// Runs `body` with a server and a page on it; stops both whatever happens.
export async function withPage(serverArgs, body, module = shapes, browserOptions = {}) {
  const server = await startServer(serverArgs, module);
  let browser;
  try {
    browser = await startBrowser(browserOptions);
    const page = browser.context.pages()[0] ?? await browser.context.newPage();
    const errors = [];
    page.on("pageerror", (e) => errors.push(e.message));
    await page.goto(server.url);
    await settled(page);
    await body(page, server);
    if (errors.length) throw new Error(`the page failed: ${errors.join("; ")}`);
  } finally {
    if (browser) await browser.close();
    await server.stop();
  }
}

// Waits until every request the page sent (renders, values and graying) is answered and the last
// render shown is a full frame (not a draft) newer than `after` (a value of shownRender()).
export async function settled(page, after = 0) {
  await page.waitForFunction((after) => {
    const b = document.body.dataset;
    return Number(b.shown ?? 0) > after && b.pending === "0" &&
      document.getElementById("preview").dataset.draft === "false";
  }, after, {timeout: 30000});
}

export async function shownRender(page) {
  return Number(await page.evaluate(() => document.body.dataset.shown ?? 0));
}

// Does `action` and waits for the full-resolution render it leads to.
export async function andRender(page, action) {
  const before = await shownRender(page);
  await action();
  await settled(page, before);
}

export async function pickEffect(page, name) {
  await andRender(page, () => page.selectOption("#effect", name));
  await page.waitForSelector(`#controls .param[data-name]`);
}

// The preview's pixels, RGBA by rows, at the size rendered (passed as base64: a list of numbers
// would take the page seconds to hand over).
export async function previewPixels(page) {
  const {width, height, base64} = await page.evaluate(() => {
    const canvas = document.getElementById("preview");
    const data = canvas.getContext("2d").getImageData(0, 0, canvas.width, canvas.height).data;
    let binary = "";
    for (let i = 0; i < data.length; i += 0x8000) {
      binary += String.fromCharCode.apply(null, data.subarray(i, i + 0x8000));
    }
    return {width: canvas.width, height: canvas.height, base64: btoa(binary)};
  });
  return {width, height, rgba: Buffer.from(base64, "base64")};
}

export function pixelAt(image, x, y) {
  const i = 4 * (y * image.width + x);
  return Array.from(image.rgba.slice(i, i + 4));
}

export function screenshotPath(name) {
  fs.mkdirSync(path.join(output, "screenshots"), {recursive: true});
  return path.join(output, "screenshots", name);
}

export function run(...args) {
  return execFileSync(ondrel, args, {encoding: "utf8"});
}

// `ondrel params EFFECT` read back: index, name, type and the rest of the line.
export function paramsOf(effect, module = shapes) {
  return run("params", effect, "--module", module).trimEnd().split("\n").map((line) => {
    const m = /^\s*(\d+)  (.{16}) (\S+(?: \S+)?)(?:\s+(.*))?$/.exec(line);
    if (!m) throw new Error(`cannot read the line "${line}" of ondrel params`);
    return {index: Number(m[1]), name: m[2].trim(), type: m[3], rest: m[4] ?? ""};
  });
}

export function effectsOf(module = shapes) {
  return run("list", "--module", module).trim().split("\n").slice(1).map((l) => l.split(/\s+/)[0]);
}

// An 8-bit RGBA or RGB PNG, as OpenImageIO writes it, into {width, height, rgba}.
export function readPng(file) {
  const bytes = fs.readFileSync(file);
  let at = 8;
  let width = 0, height = 0, channels = 0;
  const data = [];
  while (at < bytes.length) {
    const length = bytes.readUInt32BE(at);
    const type = bytes.toString("latin1", at + 4, at + 8);
    const body = bytes.subarray(at + 8, at + 8 + length);
    if (type === "IHDR") {
      width = body.readUInt32BE(0);
      height = body.readUInt32BE(4);
      if (body[8] !== 8 || (body[9] !== 6 && body[9] !== 2) || body[12] !== 0) {
        throw new Error(`${file}: not an 8-bit, non-interlaced RGB(A) PNG`);
      }
      channels = body[9] === 6 ? 4 : 3;
    } else if (type === "IDAT") {
      data.push(body);
    }
    at += 12 + length;
  }
  const raw = zlib.inflateSync(Buffer.concat(data));
  const stride = width * channels;
  const rows = Buffer.alloc(stride * height);
  for (let y = 0; y < height; ++y) {
    const filter = raw[y * (stride + 1)];
    const line = raw.subarray(y * (stride + 1) + 1, (y + 1) * (stride + 1));
    for (let i = 0; i < stride; ++i) {
      const a = i >= channels ? rows[y * stride + i - channels] : 0;
      const b = y > 0 ? rows[(y - 1) * stride + i] : 0;
      const c = y > 0 && i >= channels ? rows[(y - 1) * stride + i - channels] : 0;
      const p = a + b - c;
      const paeth = Math.abs(p - a) <= Math.abs(p - b) && Math.abs(p - a) <= Math.abs(p - c) ? a
        : Math.abs(p - b) <= Math.abs(p - c) ? b : c;
      const predicted = [0, a, b, (a + b) >> 1, paeth][filter];
      rows[y * stride + i] = (line[i] + predicted) & 0xff;
    }
  }
  const rgba = new Uint8Array(width * height * 4);
  for (let i = 0; i < width * height; ++i) {
    for (let k = 0; k < 4; ++k) rgba[4 * i + k] = k < channels ? rows[channels * i + k] : 255;
  }
  return {width, height, rgba};
}
