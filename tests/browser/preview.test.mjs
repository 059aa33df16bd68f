// The live preview: a dragged point moves the shape in the preview's pixels, drafts while
// dragging and full resolution on release, at every depth, over the built-in layer or an input
// with a checkerboard behind its transparency.
import { test } from "node:test";
import assert from "node:assert/strict";
import fs from "node:fs";
import os from "node:os";
import path from "node:path";
import { withPage, pickEffect, andRender, previewPixels, pixelAt, run, screenshotPath } from "./support.mjs";

const red = [255, 0, 0, 255];

async function setSize(page, size) {
  await andRender(page, async () => {
    await page.fill("#size", size);
    await page.press("#size", "Enter");
  });
}

// Where a layer pixel lies on the screen.
async function onScreen(page, [x, y]) {
  const box = await page.locator("#stage").boundingBox();
  const [w, h] = await page.$eval("#size", (e) => e.value.split("x").map(Number));
  return [box.x + ((x + 0.5) * box.width) / w, box.y + ((y + 0.5) * box.height) / h];
}

test("dragging the centre moves the circle in the preview", async () => {
  await withPage([], async (page) => {
    await pickEffect(page, "OndrelCircle");
    await setSize(page, "640x360");
    let image = await previewPixels(page);
    assert.deepEqual([image.width, image.height], [640, 360]);
    assert.deepEqual(pixelAt(image, 320, 180), red);
    const background = pixelAt(image, 540, 180); // 220 pixels right, beyond the radius of 100
    assert.notDeepEqual(background, red);

    const asked = [];
    page.on("request", (r) => {
      if (r.url().endsWith("/api/preview")) asked.push(JSON.parse(r.postData()).downsample);
    });
    const [fromX, fromY] = await onScreen(page, [320, 180]);
    const [toX, toY] = await onScreen(page, [540, 180]);
    await andRender(page, async () => {
      await page.mouse.move(fromX, fromY);
      await page.mouse.down();
      await page.mouse.move(toX, toY, {steps: 8});
      await page.mouse.up();
    });
    // Drafts while the handle moved, full resolution once it was let go.
    assert.ok(asked.slice(0, -1).some((d) => d > 1), `downsample factors asked: ${asked}`);
    assert.equal(asked.at(-1), 1);

    const center = await page.$$eval('#controls .param[data-name="Center"] input', (i) => i.map((e) => Number(e.value)));
    assert.ok(Math.abs(center[0] - 540) <= 1 && Math.abs(center[1] - 180) <= 1, `Center ${center}`);
    image = await previewPixels(page);
    assert.deepEqual(pixelAt(image, 540, 180), red);
    // Where the circle was, the layer shows again: the pixel that lay as far right of the old
    // centre is the same layer's, one checker row apart at most, so it is no longer red.
    assert.notDeepEqual(pixelAt(image, 320, 180), red);
    assert.equal(pixelAt(image, 320, 180)[3], 255);
    await page.screenshot({path: screenshotPath("preview-dragged.png")});

    // The same circle at 16 and 32 bits, shown in 8.
    for (const depth of ["16", "32"]) {
      await andRender(page, () => page.selectOption("#depth", depth));
      image = await previewPixels(page);
      assert.deepEqual(pixelAt(image, 540, 180), red, `at ${depth} bits`);
      assert.match(await page.textContent("#status"), new RegExp(`at ${depth} bits`));
    }
  });
});

test("over an input, transparency shows the checkerboard", async () => {
  const folder = fs.mkdtempSync(path.join(os.tmpdir(), "ondrel-serve-input-"));
  try {
    // A layer that is transparent but for a disc.
    const input = path.join(folder, "disc.png");
    run("render", "OndrelCircle", "--size", "320x180", "--set", "Blending Mode=None",
      "--set", "Fill Color=#3060ff", "--set", "Center=60,90", "--set", "Radius=40", "-o", input);
    await withPage(["-i", input], async (page) => {
      assert.equal(await page.$eval("#background", (s) => s.selectedOptions[0].textContent), "disc.png");
      await pickEffect(page, "OndrelTriangle");
      let image = await previewPixels(page);
      assert.deepEqual([image.width, image.height], [320, 180]);
      assert.equal(pixelAt(image, 2, 2)[3], 0, "a corner of the input is transparent");
      assert.deepEqual(pixelAt(image, 60, 90), [48, 96, 255, 255], "the input's disc");
      assert.deepEqual(pixelAt(image, 160, 100), red, "the triangle over it");
      // The checkerboard lies behind the preview.
      assert.match(await page.$eval("#preview", (c) => getComputedStyle(c).backgroundImage), /conic-gradient/);
      await page.screenshot({path: screenshotPath("preview-over-input.png")});

      await andRender(page, () => page.selectOption("#background", "built-in"));
      image = await previewPixels(page);
      assert.deepEqual([image.width, image.height], [1920, 1080]);
      assert.equal(pixelAt(image, 2, 2)[3], 255, "the built-in layer is opaque");
    });
  } finally {
    fs.rmSync(folder, {recursive: true, force: true});
  }
});
