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
