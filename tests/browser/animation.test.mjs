// Animating as a compositor user does: each effect keeps its own settings and keyframes for the
// session, the timeline plays at the sequence's rate in drafts, the keyframe navigators and the
// timeline's keys jump between keyframes, and the keyboard plays, pauses and steps frames.
import { test } from "node:test";
import assert from "node:assert/strict";
import { withPage, pickEffect, andRender, settled, shownRender, screenshotPath } from "./support.mjs";

const row = (name) => `#controls .param[data-name="${name}"]`;

async function typeInto(page, selector, value) {
  await andRender(page, async () => {
    await page.fill(selector, String(value));
    await page.press(selector, "Enter");
  });
}

const typeValue = (page, name, value) => typeInto(page, `${row(name)} [data-role="entry"]`, value);
const goTo = (page, frame) => typeInto(page, "#frame", frame);
const shownValue = (page, name) => page.$eval(`${row(name)} [data-role="entry"]`, (e) => Number(e.value));
const frameShown = (page) => page.$eval("#frame", (e) => Number(e.value));
const ticks = (page) => page.$$eval("#ticks span", (t) => t.length);
// Nothing that takes keys keeps the focus.
const unfocus = (page) => page.evaluate(() => document.activeElement?.blur());

// Radius keyed at frames 1 (100), 20 (200) and 40 (300); Scale keyed at 30.
async function animate(page) {
  await andRender(page, () => page.click(`${row("Radius")} .stopwatch`));
  await goTo(page, 20);
  await typeValue(page, "Radius", 200);
  await goTo(page, 40);
  await typeValue(page, "Radius", 300);
  await goTo(page, 30);
  await andRender(page, () => page.click(`${row("Scale")} .stopwatch`));
  await goTo(page, 1);
}

test("each effect keeps its own settings and keyframes, and the timeline shows only its own", async () => {
  await withPage([], async (page) => {
    await pickEffect(page, "OndrelCircle");
    await typeValue(page, "Opacity", 80);
    await animate(page);
    assert.equal(await ticks(page), 4);

    await pickEffect(page, "OndrelLine");
    assert.equal(await ticks(page), 0, "the line has no keyframes");
    assert.equal(await shownValue(page, "Thickness"), 20);
    await typeValue(page, "Thickness", 7);
    await andRender(page, () => page.click(`${row("Thickness")} .stopwatch`));
    assert.equal(await ticks(page), 1);

    await pickEffect(page, "OndrelCircle");
    assert.equal(await ticks(page), 4);
    assert.equal(await shownValue(page, "Opacity"), 80);
    await goTo(page, 30);
    // Linear between 200 at 20 and 300 at 40.
    assert.equal(await shownValue(page, "Radius"), 250);
    assert.equal(await page.$eval(`${row("Radius")} .stopwatch`, (b) => b.getAttribute("aria-pressed")), "true");

    await pickEffect(page, "OndrelLine");
    assert.equal(await shownValue(page, "Thickness"), 7);
    assert.equal(await ticks(page), 1);
  });
});

test("keyframe navigators, the timeline's keys and the keyboard move between keyframes and frames", async () => {
  await withPage([], async (page) => {
    await pickEffect(page, "OndrelCircle");
    await animate(page);

    // The timeline's keys: every keyframe of the effect.
    const stops = [];
    for (let i = 0; i < 3; ++i) {
      await andRender(page, () => page.click("#next-key"));
      stops.push(await frameShown(page));
    }
    assert.deepEqual(stops, [20, 30, 40]);
    assert.equal(await page.$eval("#next-key", (b) => b.disabled), true, "none after the last");
    await andRender(page, () => page.click("#previous-key"));
    assert.equal(await frameShown(page), 30);

    // Radius's own navigator skips Scale's keyframe at 30.
    await andRender(page, () => page.click(`${row("Radius")} .step.previous`));
    assert.equal(await frameShown(page), 20);
    await andRender(page, () => page.click(`${row("Radius")} .step.next`));
    assert.equal(await frameShown(page), 40);
    assert.equal(await page.$eval(`${row("Radius")} .step.next`, (b) => b.disabled), true);
    assert.equal(await page.$eval(`${row("Radius")} .key`, (k) => k.classList.contains("on")), true);

    // The diamond adds a keyframe at the current frame and removes it again.
    await goTo(page, 10);
    await andRender(page, () => page.click(`${row("Radius")} .key`));
    assert.equal(await ticks(page), 5);
    assert.equal(await shownValue(page, "Radius"), 147.4); // 100 + 9/19 of 100, as it was
    await andRender(page, () => page.click(`${row("Radius")} .key`));
    assert.equal(await ticks(page), 4);

    // Keys: J and K for keyframes, the arrows for one frame (ten with Shift), Home and End.
    await unfocus(page);
    const after = async (key) => {
      await andRender(page, () => page.keyboard.press(key));
      return frameShown(page);
    };
    assert.equal(await after("k"), 20);
    assert.equal(await after("j"), 1);
    assert.equal(await after("ArrowRight"), 2);
    assert.equal(await after("Shift+ArrowRight"), 12);
    assert.equal(await after("ArrowLeft"), 11);
    assert.equal(await after("End"), 48);
    assert.equal(await after("Home"), 1);
    // A field that takes the arrows keeps them.
    await page.focus("#frame");
    await page.keyboard.press("ArrowRight");
    await page.focus(`${row("Radius")} [data-role="entry"]`);
    await page.keyboard.press("ArrowLeft");
    await page.keyboard.press("Space");
    assert.equal(await frameShown(page), 1);
    assert.equal(await page.$eval("#play", (b) => b.getAttribute("aria-pressed")), "false");
  });
});

test("space plays the range at the sequence's rate in drafts, and pauses on a full frame", async () => {
  await withPage([], async (page) => {
    await pickEffect(page, "OndrelCircle");
    await animate(page);
    await typeInto(page, "#fps", "12");
    const full = await page.$eval("#preview", (c) => Number(c.dataset.downsample));

    // The play button keeps the focus after a click: space on it plays or pauses once.
    await page.click("#play");
    await page.keyboard.press("Space");
    assert.equal(await page.$eval("#play", (b) => b.getAttribute("aria-pressed")), "false");
    await page.waitForFunction(() => document.body.dataset.pending === "0");
    const from = await frameShown(page);
    const asked = [];
    page.on("request", (r) => {
      if (r.url().endsWith("/api/preview")) asked.push(JSON.parse(r.postData()).downsample);
    });

    await unfocus(page);
    const started = await page.evaluate(() => performance.now());
    await page.keyboard.press("Space");
    await page.waitForTimeout(1500);
    const [elapsed, frame, draft] = await page.evaluate(() => [performance.now(),
      Number(document.getElementById("frame").value), document.getElementById("preview").dataset.draft]);
    await page.screenshot({path: screenshotPath("playing.png")});
    // 12 frames a second: the frame of the time that passed, give or take the key's way to the
    // page and an animation frame.
    const expected = from + Math.floor(((elapsed - started) * 12) / 1000);
    assert.ok(frame <= expected && frame >= expected - 4, `frame ${frame} after ${elapsed - started} ms`);
    assert.equal(draft, "true");
    assert.equal(await page.$eval("#play", (b) => b.getAttribute("aria-pressed")), "true");
    assert.ok(asked.length > 3 && asked.every((d) => d === 2 * full), `downsample factors asked: ${asked}`);

    const before = await shownRender(page);
    await page.keyboard.press("Space");
    await settled(page, before);
    const stopped = await frameShown(page);
    await page.waitForTimeout(300);
    assert.equal(await frameShown(page), stopped, "paused");
    assert.equal(asked.at(-1), full);
    // The values follow the frame: Radius at the frame it stopped at.
    const t = stopped;
    const radius = t <= 20 ? 100 + (100 * (t - 1)) / 19 : t <= 40 ? 200 + (100 * (t - 20)) / 20 : 300;
    assert.equal(await shownValue(page, "Radius"), Number(radius.toFixed(1)));
  });
});
