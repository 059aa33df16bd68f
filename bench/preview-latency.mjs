// How long the page of `ondrel serve` takes from a changed control to a changed preview, measured
// in Debian's chromium as a user meets it: a 1920x1080 built-in layer, the circle's Radius typed
// (the frame at the size the stage shows) and its slider dragged (a draft), at 8 bits and at
// float, in a window of 1280x800 and of 1920x1080. Each figure is the median of the repetitions,
// from the change event to the first animation frame after the preview's canvas took the new
// pixels.
//
//   node bench/preview-latency.mjs [BUILD_DIR] [--baseline OTHER_ONDREL] [--repeat N]
//
// BUILD_DIR (build/release unless given) holds the command and the module. With --baseline the
// same measurements run against another build's `ondrel` (an older one, say) in the same run, and
// the table shows both and their ratio. A browser-driven script rather than a benchmark of the
// server alone: most of what a user waits for lies outside the server (the request, the
// transfer, decoding and drawing in the page).
import path from "node:path";
import { fileURLToPath } from "node:url";

const args = process.argv.slice(2);
const option = (name, fallback) => {
  const at = args.indexOf(name);
  if (at < 0) return fallback;
  const [, value] = args.splice(at, 2);
  return value;
};
const baseline = option("--baseline", null);
const repeat = Number(option("--repeat", "15"));
const root = path.resolve(path.dirname(fileURLToPath(import.meta.url)), "..");
const build = path.resolve(args[0] ?? path.join(root, "build/release"));
process.env.ONDREL ??= path.join(build, "cli/ondrel");
process.env.ONDREL_MODULE ??= path.join(build, "plugin/OndrelShapes.so");
const { startServer, startBrowser, shownRender } = await import("../tests/browser/support.mjs");

// Waits for a preview newer than `after` and no request out (what older pages mark too).
function settled(page, after = 0) {
  return page.waitForFunction((after) => Number(document.body.dataset.shown ?? 0) > after &&
    document.body.dataset.pending === "0", after, {timeout: 30000});
}

const radius = '#controls .param[data-name="Radius"]';

// Milliseconds from setting `selector` to `value` (by the event `type`) to the first animation
// frame after a preview newer than the one shown came in.
function timeChange(page, selector, value, type) {
  return page.evaluate(async ([selector, value, type]) => {
    const shown = () => Number(document.body.dataset.shown ?? 0);
    const before = shown();
    const arrived = new Promise((resolve) => {
      const watch = new MutationObserver(() => {
        if (shown() > before) { watch.disconnect(); resolve(); }
      });
      watch.observe(document.body, {attributes: true, attributeFilter: ["data-shown"]});
    });
    const control = document.querySelector(selector);
    const started = performance.now();
    control.value = value;
    control.dispatchEvent(new Event(type, {bubbles: true}));
    await arrived;
    await new Promise(requestAnimationFrame);
    return performance.now() - started;
  }, [selector, value, type]);
}

function median(values) {
  const v = [...values].sort((a, b) => a - b);
  return v.length % 2 ? v[(v.length - 1) / 2] : (v[v.length / 2 - 1] + v[v.length / 2]) / 2;
}

// {"8 typed": {ms, size}, ...} for one build in one window.
async function measure(ondrel, viewport) {
  const server = await startServer([], process.env.ONDREL_MODULE, ondrel);
  const browser = await startBrowser();
  const results = {};
  try {
    const page = browser.context.pages()[0] ?? await browser.context.newPage();
    await page.setViewportSize(viewport);
    await page.goto(server.url);
    await settled(page);
    await page.selectOption("#effect", "OndrelCircle");
    await settled(page);
    if ((await page.inputValue("#size")) !== "1920x1080") throw new Error("the built-in layer is not 1920x1080");
    for (const depth of ["8", "32"]) {
      const before = await shownRender(page);
      await page.selectOption("#depth", depth);
      await settled(page, before);
      for (const [kind, selector, type] of [["typed", `${radius} [data-role="entry"]`, "change"],
        ["dragged", `${radius} [data-role="slider"]`, "input"]]) {
        const times = [];
        for (let i = 0; i <= repeat; ++i) {
          const ms = await timeChange(page, selector, String(150 + 10 * (i % 8)), type);
          if (i > 0) times.push(ms); // the first warms the caches
          // The next change starts from a quiet page: the full frame after a draft is in.
          await page.waitForFunction(() => document.body.dataset.pending === "0");
        }
        const size = await page.$eval("#preview", (c) => `${c.width}x${c.height}`);
        results[`${depth} ${kind}`] = {ms: median(times), size};
        if (type === "input") {
          const before = await shownRender(page);
          await page.dispatchEvent(`${radius} [data-role="slider"]`, "change");
          await settled(page, before);
        }
      }
    }
  } finally {
    await browser.close();
    await server.stop();
  }
  return results;
}

const builds = [["this build", process.env.ONDREL]];
if (baseline) builds.push(["baseline", path.resolve(baseline)]);
console.log(`Preview latency in chromium, 1920x1080 built-in layer, median of ${repeat}` +
  (baseline ? `; baseline ${path.resolve(baseline)}` : ""));
const pad = (text, width) => String(text).padStart(width);
for (const viewport of [{width: 1280, height: 800}, {width: 1920, height: 1080}]) {
  const measured = [];
  for (const [, ondrel] of builds) measured.push(await measure(ondrel, viewport));
  console.log(`\nwindow ${viewport.width}x${viewport.height}`);
  console.log(`${"change".padEnd(12)}${pad("preview", 11)}${pad("ms", 9)}` +
    (baseline ? `${pad("baseline", 11)}${pad("ms", 9)}${pad("speed-up", 10)}` : ""));
  for (const key of Object.keys(measured[0])) {
    const [now, then] = measured.map((m) => m[key]);
    let line = `${`${key.replace(/^32/, "float").replace(/^8/, "8-bit")}`.padEnd(12)}` +
      `${pad(now.size, 11)}${pad(now.ms.toFixed(1), 9)}`;
    if (then) line += `${pad(then.size, 11)}${pad(then.ms.toFixed(1), 9)}${pad(`${(then.ms / now.ms).toFixed(1)}x`, 10)}`;
    console.log(line);
  }
}
