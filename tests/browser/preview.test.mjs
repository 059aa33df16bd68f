// The live preview: a dragged point moves the shape in the preview's pixels, drafts while
// dragging and full resolution on release, at every depth, over the built-in layer or an input
// with a checkerboard behind its transparency.
import { test } from "node:test";
import assert from "node:assert/strict";
import fs from "node:fs";
import os from "node:os";
import path from "node:path";
import { withPage, pickEffect, andRender, previewPixels, pixelAt, run, readPng, screenshotPath } from "./support.mjs";

const red = [255, 0, 0, 255];

async function setSize(page, size) {
  await andRender(page, async () => {
    await page.fill("#size", size);
    await page.press("#size", "Enter");
  });
}

// The coarsest 1/N of a 1920x1080 layer that still has a pixel for each of the stage's device
// pixels.
async function stageDownsample(page) {
  const box = await page.locator("#stage").boundingBox();
  const ratio = await page.evaluate(() => window.devicePixelRatio);
  return Math.max(1, Math.floor(Math.min(1920 / (box.width * ratio), 1080 / (box.height * ratio))));
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

test("a full frame the server drops for a draft that reached it later is asked for again", async () => {
  await withPage([], async (page) => {
    await pickEffect(page, "OndrelCircle");
    await setSize(page, "640x360");
    // The server drops a frame when a newer request reaches it, and requests on two connections
    // can reach it in either order: the next frame asked for is dropped as if overtaken.
    const asked = [];
    await page.route("**/api/preview", async (route) => {
      asked.push(JSON.parse(route.request().postData()).downsample);
      if (asked.length === 1) await route.fulfill({status: 204});
      else await route.continue();
    });
    await setSize(page, "320x180");
    assert.deepEqual(asked, [1, 1]);
    const image = await previewPixels(page);
    assert.deepEqual([image.width, image.height], [320, 180]);
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
      assert.equal(pixelAt(image, 2, 2)[3], 255, "the built-in layer is opaque");
      // The 1920x1080 layer at the stage's size (about 876 pixels wide in this window): at a half,
      // the same pixels as `ondrel render --downsample 2`.
      assert.equal(await stageDownsample(page), 2);
      assert.deepEqual([image.width, image.height], [960, 540]);
      const rendered = path.join(folder, "half.png");
      run("render", "OndrelTriangle", "--size", "1920x1080", "--downsample", "2", "-o", rendered);
      assert.ok(Buffer.from(readPng(rendered).rgba).equals(image.rgba), "the preview is the render at a half");
    });
  } finally {
    fs.rmSync(folder, {recursive: true, force: true});
  }
});

test("the preview has the stage's device pixels: drafts at half that, and a limit the server keeps", async () => {
  await withPage([], async (page) => {
    await pickEffect(page, "OndrelCircle");
    // At two device pixels a CSS pixel the stage of about 876 pixels shows the whole 1920.
    assert.equal(await stageDownsample(page), 1);
    let image = await previewPixels(page);
    assert.deepEqual([image.width, image.height], [1920, 1080]);

    const asked = [];
    page.on("request", (r) => {
      if (r.url().endsWith("/api/preview")) asked.push(JSON.parse(r.postData()).downsample);
    });
    const slider = '#controls .param[data-name="Radius"] [data-role="slider"]';
    await page.click('#controls .param[data-name="Radius"] > .twirly');
    await andRender(page, async () => {
      const box = await page.locator(slider).boundingBox();
      await page.mouse.move(box.x + 4, box.y + box.height / 2);
      await page.mouse.down();
      await page.mouse.move(box.x + box.width * 0.8, box.y + box.height / 2, {steps: 6});
      await page.mouse.up();
    });
    assert.ok(asked.slice(0, -1).length > 0 && asked.slice(0, -1).every((d) => d === 2), `downsample factors asked: ${asked}`);
    assert.equal(asked.at(-1), 1);

    // Larger than a page shows is refused before any work, in one line; the page itself never
    // asks for it.
    const refused = await page.evaluate(async () => {
      const response = await fetch("/api/preview", {method: "POST", headers: {"Content-Type": "application/json"},
        body: JSON.stringify({recipe: {effect: "OndrelCircle", size: "20000x20000"}, downsample: 1})});
      return [response.status, (await response.json()).error];
    });
    assert.deepEqual(refused, [400, "a preview of 20000x20000 is more than a page shows (at most 16588800 pixels); " +
      "ask for a downsample of 5 or more"]);
    // A square layer: the page asks for the coarsest 1/N at which the preview still covers the
    // stage's device pixels, which 1/(N + 1) would not.
    await andRender(page, async () => {
      await page.fill("#size", "4000x4000");
      await page.press("#size", "Enter");
    });
    image = await previewPixels(page);
    const n = await page.$eval("#preview", (c) => Number(c.dataset.downsample));
    const side = (await page.locator("#stage").boundingBox()).height * 2;
    assert.deepEqual([image.width, image.height], [Math.ceil(4000 / n), Math.ceil(4000 / n)]);
    assert.ok(image.width >= side && 4000 / (n + 1) < side, `1/${n} for a stage of ${side}`);
    assert.equal(await page.$("#messages .error"), null);
  }, undefined, {deviceScaleFactor: 2});
});
