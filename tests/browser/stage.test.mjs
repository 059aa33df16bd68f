// The stage: handles that lie on one another can each be grabbed (a pick menu, or Alt for the
// next one down), mistakes are named by the control they belong to, once, while the stage keeps
// its size; and the page as it looks in a window of 1280x800 and of 1920x1080.
import { test } from "node:test";
import assert from "node:assert/strict";
import { withPage, pickEffect, andRender, screenshotPath } from "./support.mjs";

const row = (name) => `#controls .param[data-name="${name}"]`;

async function typeInto(page, selector, value) {
  await andRender(page, async () => {
    await page.fill(selector, String(value));
    await page.press(selector, "Enter");
  });
}

async function pointOf(page, name) {
  return page.$$eval(`${row(name)} .value input[type="number"]`, (i) => i.map((e) => Number(e.value)));
}

// Where a pixel of the 640x360 layer lies on the screen.
async function onScreen(page, [x, y]) {
  const box = await page.locator("#stage").boundingBox();
  return [box.x + (x * box.width) / 640, box.y + (y * box.height) / 360];
}

async function drag(page, from, to, {alt = false} = {}) {
  const [fx, fy] = await onScreen(page, from);
  const [tx, ty] = await onScreen(page, to);
  await andRender(page, async () => {
    if (alt) await page.keyboard.down("Alt");
    await page.mouse.move(fx, fy);
    await page.mouse.down();
    await page.mouse.move(tx, ty, {steps: 5});
    await page.mouse.up();
    if (alt) await page.keyboard.up("Alt");
  });
}

const near = (a, b) => Math.abs(a[0] - b[0]) <= 1.5 && Math.abs(a[1] - b[1]) <= 1.5;

test("handles on one spot can each be grabbed: the one on top, a picked one, the next with Alt", async () => {
  await withPage([], async (page) => {
    await pickEffect(page, "OndrelCircle");
    await typeInto(page, "#size", "640x360");
    const spot = [320, 180];
    for (const name of ["Center", "Anchor Point", "Position"]) assert.deepEqual(await pointOf(page, name), spot, name);

    // A drag takes the handle on top: the circle's own centre.
    await drag(page, spot, [420, 180]);
    assert.ok(near(await pointOf(page, "Center"), [420, 180]));
    assert.deepEqual(await pointOf(page, "Anchor Point"), spot);
    assert.deepEqual(await pointOf(page, "Position"), spot);

    // A click on the two left there opens a menu of both; the one picked is grabbed next.
    const [x, y] = await onScreen(page, spot);
    await page.mouse.click(x, y);
    assert.deepEqual(await page.$$eval("#pick button", (b) => b.map((e) => e.textContent)), ["Anchor Point", "Position"]);
    await page.screenshot({path: screenshotPath("pick-menu.png")});
    await page.click('#pick button:text("Position")');
    assert.equal(await page.isVisible("#pick"), false);
    await drag(page, spot, [320, 280]);
    assert.ok(near(await pointOf(page, "Position"), [320, 280]));
    assert.deepEqual(await pointOf(page, "Anchor Point"), spot);

    // With the centre back on the anchor point, Alt takes the handle below the top one.
    await typeInto(page, `${row("Center")} [data-role="x"]`, 320);
    assert.deepEqual(await pointOf(page, "Center"), spot);
    await drag(page, spot, [220, 180], {alt: true});
    assert.ok(near(await pointOf(page, "Anchor Point"), [220, 180]));
    assert.deepEqual(await pointOf(page, "Center"), spot);
  });
});

test("a mistake is named by its control, shown once, and the stage keeps its size", async () => {
  await withPage([], async (page) => {
    await pickEffect(page, "OndrelCircle");
    const stage = await page.locator("#stage").boundingBox();

    await page.fill("#size", "120000x1080");
    await page.press("#size", "Enter");
    await page.waitForSelector("#messages .error");
    await page.waitForFunction(() => document.body.dataset.pending === "0");
    const shown = await page.$$eval("#messages .error", (e) => e.map((m) => m.textContent));
    assert.deepEqual(shown, ["Size: expected WIDTHxHEIGHT, each 1 to 30000"]);
    assert.equal(await page.$eval("#size-label", (l) => l.classList.contains("invalid")), true);
    assert.deepEqual(await page.locator("#stage").boundingBox(), stage);
    await page.screenshot({path: screenshotPath("error-size.png")});

    // Set right, the message goes and the stage takes the layer's shape.
    await typeInto(page, "#size", "800x800");
    assert.equal(await page.$("#messages .error"), null);
    assert.equal(await page.$(".invalid"), null);
    const square = await page.locator("#stage").boundingBox();
    assert.equal(square.width, square.height);

    // Each setting's mistake marks its own field.
    await page.fill("#fps", "0");
    await page.press("#fps", "Enter");
    const error = await page.waitForSelector("#messages .error");
    assert.match(await error.textContent(), /^Frame rate: expected frames per second/);
    assert.equal(await page.$$eval("#messages .error", (e) => e.length), 1);
    assert.deepEqual(await page.$$eval(".invalid input", (i) => i.map((e) => e.id)), ["fps"]);
    assert.deepEqual(await page.locator("#stage").boundingBox(), square);

    // However long the status grows (drafts, drops), the header keeps to one line: a taller one
    // would move the stage from under a drag.
    const header = await page.locator("header").boundingBox();
    await page.evaluate(() => {
      document.getElementById("status").textContent = "30000\u00d730000 at 32 bits (1/64, draft), 12345 ms, 678 dropped";
    });
    assert.deepEqual(await page.locator("header").boundingBox(), header);
    assert.deepEqual(await page.locator("#stage").boundingBox(), square);
  });
});

test("the page at 1280x800 and at 1920x1080", async () => {
  await withPage([], async (page) => {
    await pickEffect(page, "OndrelRectangle");
    await andRender(page, () => page.click(`${row("Rotation")} .stopwatch`));
    await typeInto(page, "#frame", 24);
    await typeInto(page, `${row("Rotation")} [data-role="entry"]`, 45);
    for (const [width, height] of [[1280, 800], [1920, 1080]]) {
      await page.setViewportSize({width, height});
      // The preview follows the stage's size once the resizing rests.
      await page.waitForTimeout(400);
      await page.waitForFunction(() => document.body.dataset.pending === "0");
      // Nothing lies outside the window, and the stage fills the room beside the controls.
      const overflow = await page.evaluate(() => [document.documentElement.scrollWidth - innerWidth,
        document.documentElement.scrollHeight - innerHeight]);
      assert.deepEqual(overflow, [0, 0], `${width}x${height}`);
      const stage = await page.locator("#stage").boundingBox();
      const viewer = await page.locator("#viewer").boundingBox();
      assert.ok(viewer.width - stage.width <= 25 || viewer.height - stage.height <= 25, `${width}x${height}`);
      assert.ok(await page.isVisible(`${row("Rotation")} .dial`), "the dial shows");
      await page.screenshot({path: screenshotPath(`page-${width}x${height}.png`)});
    }
  });
});
