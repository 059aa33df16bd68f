// The stage: handles that lie on one another can each be grabbed (a pick menu, or Alt for the
// next one down), mistakes are named by the control they belong to, once, while the stage keeps
// its size; and the page as it looks in a window of 1280x800 and of 1920x1080.
import { test } from "node:test";
import assert from "node:assert/strict";
import { withPage, pickEffect, andRender, previewPixels, readPng, screenshotPath } from "./support.mjs";

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

// Where a point of the 640x360 layer lies on the screen: the middle of its pixel.
async function onScreen(page, [x, y]) {
  const box = await page.locator("#stage").boundingBox();
  return [box.x + ((x + 0.5) * box.width) / 640, box.y + ((y + 0.5) * box.height) / 360];
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

const near = (a, b, by = 1.5) => Math.abs(a[0] - b[0]) <= by && Math.abs(a[1] - b[1]) <= by;
// Within a quarter of a pixel: where the circle's middle is drawn, by the pixels at its edge.
const onPoint = (a, b) => near(a, b, 0.25);

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

    // The position moved the shape 100 pixels down, and the anchor point it turns about with it:
    // with the centre typed back over the anchor point, all three are drawn at 320,280. Alt takes
    // the handle below the one taken last (the position), then the one below that.
    const moved = [320, 280];
    await typeInto(page, `${row("Center")} [data-role="x"]`, 320);
    await drag(page, moved, [220, 280], {alt: true});
    assert.ok(near(await pointOf(page, "Center"), [220, 180]));
    await drag(page, moved, [270, 280], {alt: true});
    assert.ok(near(await pointOf(page, "Anchor Point"), [270, 180]));
    assert.deepEqual(await pointOf(page, "Position"), moved);
  });
});

async function setPoint(page, name, [x, y]) {
  await typeInto(page, `${row(name)} [data-role="x"]`, x);
  await typeInto(page, `${row(name)} [data-role="y"]`, y);
}

// The layer point a handle's middle shows, on the 640x360 layer: point x,y is the middle of pixel
// x,y, as the render paints them.
async function handleAt(page, name) {
  const box = await page.locator("#stage").boundingBox();
  const handle = await page.locator(`.handle[data-name="${name}"]`).boundingBox();
  return [((handle.x + handle.width / 2 - box.x) * 640) / box.width - 0.5,
    ((handle.y + handle.height / 2 - box.y) * 360) / box.height - 0.5];
}

// The middle of the preview's pure red pixels (the circle's fill), as a layer point.
async function redMiddle(page) {
  const image = await previewPixels(page);
  assert.deepEqual([image.width, image.height], [640, 360]);
  let [count, sx, sy] = [0, 0, 0];
  for (let i = 0; i < image.width * image.height; ++i) {
    const [r, g, b, a] = image.rgba.subarray(4 * i, 4 * i + 4);
    if (r === 255 && g === 0 && b === 0 && a === 255) {
      ++count;
      sx += i % image.width;
      sy += Math.floor(i / image.width);
    }
  }
  assert.ok(count > 100, `${count} red pixels`);
  return [sx / count, sy / count];
}

test("each handle sits where the render draws its point, through the anchor point, position, rotation and scale", async () => {
  await withPage([], async (page) => {
    await pickEffect(page, "OndrelCircle");
    await typeInto(page, "#size", "640x360");
    await typeInto(page, `${row("Radius")} [data-role="entry"]`, 40);
    await setPoint(page, "Anchor Point", [300, 150]);
    await setPoint(page, "Position", [400, 220]);
    await typeInto(page, `${row("Rotation")} [data-role="entry"]`, 30);
    await typeInto(page, `${row("Scale")} [data-role="entry"]`, 150);
    // Worked by hand: the centre 320,180 lies 20,30 from the anchor point; turned 30 degrees
    // clockwise that is 20 cos 30 - 30 sin 30, 20 sin 30 + 30 cos 30 = 2.32,35.98; scaled by 1.5,
    // 3.48,53.97; about the anchor point, 303.48,203.97; moved by the position's offset from the
    // layer's middle (80,40): 383.48,243.97.
    let circle = await redMiddle(page);
    assert.ok(onPoint(circle, [383.48, 243.97]), `the circle at ${circle}`);
    assert.ok(onPoint(await handleAt(page, "Center"), circle), `Center at ${await handleAt(page, "Center")}, the circle at ${circle}`);
    assert.ok(onPoint(await handleAt(page, "Position"), [400, 220]), "the position at its value");

    // The centre dragged: the circle is drawn where it was let go.
    await drag(page, await handleAt(page, "Center"), [200, 200]);
    circle = await redMiddle(page);
    assert.ok(near(circle, [200, 200]), `the circle at ${circle}`);
    assert.ok(onPoint(await handleAt(page, "Center"), circle));

    // With the anchor point on the centre, the circle is drawn where the shape turns about: the
    // anchor point's handle.
    await setPoint(page, "Anchor Point", await pointOf(page, "Center"));
    circle = await redMiddle(page);
    assert.ok(onPoint(await handleAt(page, "Anchor Point"), circle), `Anchor Point at ${await handleAt(page, "Anchor Point")}, the circle at ${circle}`);
    assert.ok(onPoint(await handleAt(page, "Center"), circle));
  });
});

test("the centre, the anchor point and the position each have a mark of their own and show their names", async () => {
  await withPage([], async (page) => {
    await pickEffect(page, "OndrelCircle");
    await typeInto(page, "#size", "640x360");
    await typeInto(page, `${row("Radius")} [data-role="entry"]`, 0);
    await setPoint(page, "Center", [500, 250]);
    await setPoint(page, "Anchor Point", [150, 100]);
    const names = ["Center", "Anchor Point", "Position"];
    // Each mark's outline: its dark pixels, as the screen shows them.
    const marks = [];
    for (const name of names) {
      const file = screenshotPath(`handle-${name.replace(" ", "-")}.png`);
      await page.locator(`.handle[data-name="${name}"]`).screenshot({path: file});
      const image = readPng(file);
      const dark = [];
      for (let i = 0; i < image.width * image.height; ++i) {
        dark.push(Math.max(...image.rgba.subarray(4 * i, 4 * i + 3)) < 45);
      }
      assert.ok(dark.filter(Boolean).length > 20, `${name} has a mark`);
      marks.push(dark);
    }
    for (let a = 0; a < 3; ++a) {
      for (let b = a + 1; b < 3; ++b) {
        const differ = marks[a].filter((d, i) => d !== marks[b][i]).length;
        assert.ok(differ > 20, `${names[a]} and ${names[b]} differ in ${differ} pixels`);
      }
    }
    for (const name of names) {
      const handle = `.handle[data-name="${name}"]`;
      assert.equal(await page.getAttribute(handle, "title"), name);
      assert.equal(await page.isVisible(`${handle} .label`), false);
      await page.hover(handle);
      assert.equal(await page.isVisible(`${handle} .label`), true, name);
      assert.equal(await page.textContent(`${handle} .label`), name);
    }
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
