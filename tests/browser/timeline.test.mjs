// Keyframes set from the page, values between them as the offline host delivers them, and the
// saved recipe, which `ondrel render --recipe` renders to the very pixels the page showed.
import { test } from "node:test";
import assert from "node:assert/strict";
import fs from "node:fs";
import os from "node:os";
import path from "node:path";
import { withPage, pickEffect, andRender, previewPixels, paramsOf, run, readPng, screenshotPath } from "./support.mjs";

const radius = '#controls .param[data-name="Radius"]';

async function goTo(page, frame) {
  await andRender(page, async () => {
    await page.fill("#frame", String(frame));
    await page.press("#frame", "Enter");
  });
}

async function typeRadius(page, value) {
  await andRender(page, async () => {
    await page.fill(`${radius} [data-role="entry"]`, String(value));
    await page.press(`${radius} [data-role="entry"]`, "Enter");
  });
}

const shownRadius = (page) => page.$eval(`${radius} [data-role="entry"]`, (e) => Number(e.value));

test("keyframes from the page, and the recipe it saves renders the same frame", async () => {
  const folder = fs.mkdtempSync(path.join(os.tmpdir(), "ondrel-serve-recipe-"));
  try {
    await withPage([], async (page) => {
      // Answers that carry only what changed since the frame the page held.
      let partial = 0;
      page.on("response", (r) => { if (r.headers()["x-changed"]) partial++; });
      await pickEffect(page, "OndrelCircle");
      await andRender(page, async () => {
        await page.fill("#size", "480x270");
        await page.press("#size", "Enter");
      });
      // Radius 100 at frame 1 (its default), 200 at frame 48.
      await andRender(page, () => page.click(`${radius} .stopwatch`));
      assert.equal(await page.$eval(`${radius} .key`, (k) => k.classList.contains("on")), true);
      await goTo(page, 48);
      await typeRadius(page, 200);
      assert.equal(await page.$$eval("#ticks span", (t) => t.length), 2);

      // Linear: frame 24 lies 23/47 of the way, 148.936..., shown at the slider's one decimal.
      await goTo(page, 24);
      assert.equal(await shownRadius(page), 148.9);
      assert.equal(await page.$eval(`${radius} .key`, (k) => k.classList.contains("on")), false);
      await andRender(page, () => page.selectOption(`${radius} .interpolation`, "hold"));
      assert.equal(await shownRadius(page), 100);
      await andRender(page, () => page.selectOption(`${radius} .interpolation`, "ease"));
      // Ease: 3f^2 - 2f^3 of f = 23/47, 0.48418..., so 148.418...
      assert.equal(await shownRadius(page), 148.4);
      await page.screenshot({path: screenshotPath("timeline.png")});

      const [download] = await Promise.all([page.waitForEvent("download"), page.click("#save")]);
      const file = path.join(folder, "circle.json");
      await download.saveAs(file);
      const saved = JSON.parse(fs.readFileSync(file, "utf8"));
      assert.equal(saved.effect, "OndrelCircle");
      assert.equal(saved.size, "480x270");
      assert.equal(saved.frames, "1-48");
      assert.deepEqual(saved.params.Radius, {interpolation: "ease", keys: [
        {time: 1, value: 100}, {time: 48, value: 200}]});
      // Every parameter is there, each at the value the page shows.
      const names = paramsOf("OndrelCircle").slice(1).filter((p) => !p.type.startsWith("group")).map((p) => p.name);
      assert.deepEqual(Object.keys(saved.params).sort(), names.sort());
      assert.deepEqual(saved.params.Center, [240, 135]);

      run("render", "--recipe", file, "--frames", "24", "-o", path.join(folder, "out.####.png"), "-q");
      const rendered = readPng(path.join(folder, "out.0024.png"));
      const shown = await previewPixels(page);
      assert.deepEqual([rendered.width, rendered.height], [shown.width, shown.height]);
      assert.ok(Buffer.from(rendered.rgba).equals(shown.rgba), "the rendered frame is the preview's");
      assert.ok(partial > 0, "the preview was put together from changed rectangles");
    });
  } finally {
    fs.rmSync(folder, {recursive: true, force: true});
  }
});

// ---- The timeline's rows: keyframes selected, dragged, deleted, copied and pasted.

const param = (name) => `#controls .param[data-name="${name}"]`;
const keyAt = (name, time) => `#tracks .trow[data-name="${name}"] .keyframe[data-time="${time}"]`;
const rowNames = (page) => page.$$eval("#tracks .trow .tname", (n) => n.map((e) => e.textContent));
const selectedKeys = (page) => page.$$eval("#tracks .keyframe.selected",
  (k) => k.map((e) => `${e.dataset.name}@${e.dataset.time}`).sort());
const idle = (page) => page.waitForFunction(() => document.body.dataset.pending === "0");

async function typeInto(page, name, value) {
  await andRender(page, async () => {
    await page.fill(`${param(name)} [data-role="entry"]`, String(value));
    await page.press(`${param(name)} [data-role="entry"]`, "Enter");
  });
}

// The keyframes the browser keeps for the circle (the work persisted), as "time=value".
async function kept(page, name) {
  return page.evaluate((name) => {
    const stored = Object.keys(localStorage).find((k) => k.endsWith(":effect:OndrelCircle"));
    const p = JSON.parse(localStorage.getItem(stored))[name];
    return p.keys ? p.keys.map((k) => `${k.time}=${k.value}`) : p;
  }, name);
}

// The ruler as drawn: the screen x of its first numbered frame, and the pixels between frames,
// measured between its first and last numbers.
async function ruler(page) {
  const marks = await page.$$eval("#ruler span", (s) => s.map((e) => [Number(e.dataset.frame), e.getBoundingClientRect().left]));
  const [[a, xa], [b, xb]] = [marks[0], marks[marks.length - 1]];
  const perFrame = (xb - xa) / (b - a);
  return {perFrame, x: (frame) => xa + (frame - a) * perFrame};
}

// Puts the current-time indicator at `frame` by the ruler, which leaves the keys to the timeline.
async function scrubTo(page, frame) {
  const {x} = await ruler(page);
  const [, y] = await centerOf(page, "#ruler");
  await andRender(page, () => page.mouse.click(x(frame), y));
  assert.equal(await page.$eval("#frame", (f) => f.value), String(frame));
}

async function centerOf(page, selector) {
  const box = await page.locator(selector).boundingBox();
  return [box.x + box.width / 2, box.y + box.height / 2];
}

// Drags the keyframe by `frames` (a fraction of a frame too) as the ruler measures them.
async function dragKey(page, name, time, frames, steps = 8) {
  const {perFrame} = await ruler(page);
  const [x, y] = await centerOf(page, keyAt(name, time));
  await page.mouse.move(x, y);
  await page.mouse.down();
  await page.mouse.move(x + frames * perFrame, y, {steps});
  await page.mouse.up();
}

// The circle at 480x270, Radius keyed 100 at frame 1 and 200 at frame 48, Opacity 100 at 10 and
// 50 at 30.
async function animated(page) {
  await pickEffect(page, "OndrelCircle");
  await andRender(page, async () => {
    await page.fill("#size", "480x270");
    await page.press("#size", "Enter");
  });
  assert.deepEqual(await rowNames(page), [], "nothing is animated yet");
  await andRender(page, () => page.click(`${param("Radius")} .stopwatch`));
  await goTo(page, 48);
  await typeInto(page, "Radius", 200);
  await goTo(page, 10);
  await andRender(page, () => page.click(`${param("Opacity")} .stopwatch`));
  await goTo(page, 30);
  await typeInto(page, "Opacity", 50);
}

test("a row per animated control; a keyframe dragged by whole frames, never onto another, one step", async () => {
  await withPage([], async (page) => {
    await animated(page);
    assert.deepEqual(await rowNames(page), ["Radius", "Opacity"]);
    assert.deepEqual(await page.$$eval('#tracks .trow[data-name="Opacity"] .keyframe', (k) => k.map((e) => e.dataset.time)),
      ["10", "30"]);
    // Each keyframe lies at its frame on the ruler.
    const {x} = await ruler(page);
    for (const [name, time] of [["Radius", 1], ["Radius", 48], ["Opacity", 30]]) {
      const [cx] = await centerOf(page, keyAt(name, time));
      assert.ok(Math.abs(cx - x(time)) < 1.5, `${name}'s keyframe at ${time} lies at ${cx}, the ruler's ${x(time)}`);
    }

    // 48 to 24.4 frames: the keyframe snaps to 24, where Radius is then 200 and, at 12, 11/23 of
    // the way from 100: 147.826...
    await andRender(page, () => dragKey(page, "Radius", 48, -23.6));
    assert.deepEqual(await kept(page, "Radius"), ["1=100", "24=200"]);
    assert.equal(await page.locator(keyAt("Radius", 48)).count(), 0);
    assert.equal(await page.locator(keyAt("Radius", 24)).count(), 1);
    await goTo(page, 24);
    assert.equal(await shownRadius(page), 200);
    await goTo(page, 12);
    assert.equal(await shownRadius(page), 147.8);
    // 5.6 frames on: 30, not 29.
    await andRender(page, () => dragKey(page, "Radius", 24, 5.6));
    assert.deepEqual(await kept(page, "Radius"), ["1=100", "30=200"]);

    // Onto frame 1, which Radius's other keyframe holds: it stays where it was.
    await dragKey(page, "Radius", 30, -29, 1);
    await idle(page);
    assert.deepEqual(await kept(page, "Radius"), ["1=100", "30=200"]);
    // Opacity's keyframe at 30 is no obstacle to Radius's, and Radius's none to Opacity's.
    await andRender(page, () => dragKey(page, "Opacity", 10, 20 - 1));
    assert.deepEqual(await kept(page, "Opacity"), ["29=100", "30=50"]);
    await dragKey(page, "Opacity", 29, 1, 1);
    await idle(page);
    assert.deepEqual(await kept(page, "Opacity"), ["29=100", "30=50"]);

    // Each drag, of however many moves, is one step back.
    await andRender(page, () => page.keyboard.press("Control+z"));
    assert.deepEqual(await kept(page, "Opacity"), ["10=100", "30=50"]);
    await andRender(page, () => page.keyboard.press("Control+z"));
    assert.deepEqual(await kept(page, "Radius"), ["1=100", "24=200"]);
    await andRender(page, () => page.keyboard.press("Control+z"));
    assert.deepEqual(await kept(page, "Radius"), ["1=100", "48=200"]);
    assert.equal(await page.locator(keyAt("Radius", 48)).count(), 1);
    await goTo(page, 24);
    assert.equal(await shownRadius(page), 148.9);

    // The ruler scrubs: from frame 10 to 30, where Radius is 100 + 100 * 29/47 = 161.70...
    const at = await ruler(page);
    const [, y] = await centerOf(page, "#ruler");
    await andRender(page, async () => {
      await page.mouse.move(at.x(10), y);
      await page.mouse.down();
      await page.mouse.move(at.x(30), y, {steps: 5});
      await page.mouse.up();
    });
    assert.equal(await page.$eval("#frame", (f) => f.value), "30");
    assert.equal(await shownRadius(page), 161.7);
    const [cti] = await centerOf(page, "#cti");
    assert.ok(Math.abs(cti - at.x(30)) < 1.5, "the current-time indicator is at frame 30");
  });
});

test("keyframes selected by click, Shift-click and a box; deleted; copied and pasted at the current frame", async () => {
  await withPage([], async (page) => {
    await animated(page);
    await page.click(keyAt("Radius", 1));
    assert.deepEqual(await selectedKeys(page), ["Radius@1"]);
    await page.click(keyAt("Opacity", 10), {modifiers: ["Shift"]});
    assert.deepEqual(await selectedKeys(page), ["Opacity@10", "Radius@1"]);
    await page.click(keyAt("Radius", 1), {modifiers: ["Shift"]});
    assert.deepEqual(await selectedKeys(page), ["Opacity@10"]);
    await page.click(keyAt("Radius", 48));
    assert.deepEqual(await selectedKeys(page), ["Radius@48"]);

    // A box from frame 20 of Radius's row to past the end of Opacity's: 48 and 30, not 1 or 10.
    const {x, perFrame} = await ruler(page);
    const [, radiusY] = await centerOf(page, keyAt("Radius", 1));
    const [, opacityY] = await centerOf(page, keyAt("Opacity", 10));
    await page.mouse.move(x(20), radiusY - 6);
    await page.mouse.down();
    await page.mouse.move(x(48) + perFrame, opacityY + 6, {steps: 4});
    await page.mouse.up();
    assert.deepEqual(await selectedKeys(page), ["Opacity@30", "Radius@48"]);
    // With Shift, a box adds to the selection.
    await page.keyboard.down("Shift");
    await page.mouse.move(x(5), opacityY - 6);
    await page.mouse.down();
    await page.mouse.move(x(15), opacityY + 6, {steps: 2});
    await page.mouse.up();
    await page.keyboard.up("Shift");
    assert.deepEqual(await selectedKeys(page), ["Opacity@10", "Opacity@30", "Radius@48"]);
    await page.screenshot({path: screenshotPath("timeline-selected.png")});
    await page.click(keyAt("Opacity", 10), {modifiers: ["Shift"]});

    // Delete is a field's own while it is typed in.
    await page.focus("#frame");
    await page.keyboard.press("Backspace");
    await page.keyboard.press("Delete");
    assert.equal(await page.$eval("#frame", (f) => f.value), "3");
    assert.deepEqual(await kept(page, "Radius"), ["1=100", "48=200"]);
    await page.fill("#frame", "30");
    await page.press("#frame", "Enter");
    await idle(page);

    await andRender(page, async () => {
      await page.click(keyAt("Radius", 1), {modifiers: ["Shift"]});
      await page.click(keyAt("Radius", 1), {modifiers: ["Shift"]});
      await page.keyboard.press("Delete");
    });
    assert.deepEqual(await kept(page, "Radius"), ["1=100"]);
    assert.deepEqual(await kept(page, "Opacity"), ["10=100"]);
    // Radius holds 100 from then on: at frame 30 it is no longer 161.7.
    assert.equal(await shownRadius(page), 100);
    await andRender(page, () => page.keyboard.press("Control+z"));
    assert.deepEqual(await kept(page, "Radius"), ["1=100", "48=200"]);
    assert.deepEqual(await kept(page, "Opacity"), ["10=100", "30=50"]);
    // Backspace deletes too; a control's last keyframe deleted leaves its value at this frame.
    await page.click(keyAt("Opacity", 10));
    await page.click(keyAt("Opacity", 30), {modifiers: ["Shift"]});
    await andRender(page, () => page.keyboard.press("Backspace"));
    assert.deepEqual(await rowNames(page), ["Radius"]);
    assert.deepEqual(await kept(page, "Opacity"), {value: "50"});
    await andRender(page, () => page.keyboard.press("Control+z"));
    assert.deepEqual(await rowNames(page), ["Radius", "Opacity"]);

    // Radius's at 1 and Opacity's at 30, copied and pasted at frame 5: at 5 and 34.
    await page.click(keyAt("Radius", 1));
    await page.click(keyAt("Opacity", 30), {modifiers: ["Shift"]});
    await page.keyboard.press("Control+c");
    await scrubTo(page, 5);
    await andRender(page, () => page.keyboard.press("Control+v"));
    assert.deepEqual(await kept(page, "Radius"), ["1=100", "5=100", "48=200"]);
    assert.deepEqual(await kept(page, "Opacity"), ["10=100", "30=50", "34=50"]);
    assert.deepEqual(await selectedKeys(page), ["Opacity@34", "Radius@5"]);
    // Pasted over a keyframe at the same frame: at 47, Radius's lands on 47 and Opacity's on 76,
    // past the range, and both are kept.
    await scrubTo(page, 47);
    await andRender(page, () => page.keyboard.press("Control+v"));
    assert.deepEqual(await kept(page, "Radius"), ["1=100", "5=100", "47=100", "48=200"]);
    assert.deepEqual(await kept(page, "Opacity"), ["10=100", "30=50", "34=50", "76=50"]);
    await andRender(page, () => page.keyboard.press("Control+z"));
    await andRender(page, () => page.keyboard.press("Control+z"));
    assert.deepEqual(await kept(page, "Radius"), ["1=100", "48=200"]);
    // Into a control not animated, a paste turns its stopwatch on.
    await page.click(keyAt("Radius", 48));
    await page.keyboard.press("Control+c");
    await andRender(page, () => page.click(`${param("Radius")} .stopwatch`));
    assert.deepEqual(await rowNames(page), ["Opacity"]);
    await scrubTo(page, 20);
    await andRender(page, () => page.keyboard.press("Control+v"));
    assert.deepEqual(await rowNames(page), ["Radius", "Opacity"]);
    assert.deepEqual(await kept(page, "Radius"), ["20=200"]);
    assert.equal(await page.$eval(`${param("Radius")} .stopwatch`, (b) => b.getAttribute("aria-pressed")), "true");
  });
});

test("the ruler zooms, by the buttons and Ctrl+wheel, with the keyframes, and the rows scroll", async () => {
  await withPage([], async (page) => {
    await animated(page);
    const scrolls = () => page.$eval("#sheet", (s) => s.scrollWidth > s.clientWidth);
    const fit = await ruler(page);
    assert.equal(await scrolls(), false, "the range fits the sheet");
    await page.click("#zoom-in");
    await page.click("#zoom-in");
    const zoomed = await ruler(page);
    assert.ok(zoomed.perFrame > 1.5 * fit.perFrame, `${zoomed.perFrame} pixels a frame, from ${fit.perFrame}`);
    assert.equal(await scrolls(), true);
    // The keyframes are where the ruler puts their frames, wherever the rows have scrolled.
    for (const [name, time] of [["Radius", 1], ["Opacity", 10], ["Opacity", 30]]) {
      const [cx] = await centerOf(page, keyAt(name, time));
      assert.ok(Math.abs(cx - zoomed.x(time)) < 1.5, `${name} at ${time}: ${cx}, the ruler's ${zoomed.x(time)}`);
    }
    // Ctrl+wheel zooms in about the pointer: the frame under it stays there.
    const [, y] = await centerOf(page, "#ruler");
    const under = zoomed.x(30);
    await page.mouse.move(under, y);
    await page.keyboard.down("Control");
    await page.mouse.wheel(0, -100);
    await page.keyboard.up("Control");
    const wheeled = await ruler(page);
    assert.ok(wheeled.perFrame > zoomed.perFrame);
    assert.ok(Math.abs(wheeled.x(30) - under) < 2, `frame 30 is at ${wheeled.x(30)}, was ${under}`);
    await page.screenshot({path: screenshotPath("timeline-zoomed.png")});
    // Zoomed out all the way, the range fits again.
    for (let i = 0; i < 12; ++i) await page.click("#zoom-out");
    const out = await ruler(page);
    assert.ok(Math.abs(out.perFrame - fit.perFrame) < 0.01);
    assert.equal(await scrolls(), false);
  });
});
