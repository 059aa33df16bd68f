// The designer's work: undo and redo of every change, the field and the preview going back
// together and a drag one step; the work kept through a reload and a server restart; a page new
// to it starting from `ondrel serve --recipe`; and recipe files opened by the button, its file
// input or a drop, read as `ondrel render --recipe` reads them.
import { test } from "node:test";
import assert from "node:assert/strict";
import fs from "node:fs";
import os from "node:os";
import path from "node:path";
import { withPage, startServer, startBrowser, settled, pickEffect, andRender, previewPixels, pixelAt,
  shapes, screenshotPath } from "./support.mjs";

const red = [255, 0, 0, 255];
const green = [0, 255, 0, 255];
const row = (name) => `#controls .param[data-name="${name}"]`;
const entry = (name) => `${row(name)} [data-role="entry"]`;

async function typeInto(page, selector, value) {
  await andRender(page, async () => {
    await page.fill(selector, String(value));
    await page.press(selector, "Enter");
  });
}

const typeValue = (page, name, value) => typeInto(page, entry(name), value);
const goTo = (page, frame) => typeInto(page, "#frame", frame);
const valueOf = (page, selector) => page.$eval(selector, (e) => e.value);
const shown = (page, name) => valueOf(page, entry(name));
const pointOf = (page, name) => page.$$eval(`${row(name)} .value input[type="number"]`, (i) => i.map((e) => Number(e.value)));
const ticks = (page) => page.$$eval("#ticks span", (t) => t.length);
const pressed = (page, name) => page.$eval(`${row(name)} .stopwatch`, (b) => b.getAttribute("aria-pressed"));
const disabled = (page, id) => page.$eval(`#${id}`, (b) => b.disabled);
const notes = (page) => page.$$eval("#messages .note", (n) => n.map((e) => e.textContent));
const idle = (page) => page.waitForFunction(() => document.body.dataset.pending === "0");
const press = (page, keys) => andRender(page, () => page.keyboard.press(keys));
const samePixels = (a, b) => a.width === b.width && a.height === b.height && Buffer.compare(a.rgba, b.rgba) === 0;

// Where a pixel of a 640x360 layer lies on the screen.
async function onScreen(page, [x, y]) {
  const box = await page.locator("#stage").boundingBox();
  return [box.x + ((x + 0.5) * box.width) / 640, box.y + ((y + 0.5) * box.height) / 360];
}

function tempFolder() { return fs.mkdtempSync(path.join(os.tmpdir(), "ondrel-serve-work-")); }

test("undo and redo take the field and the preview back together, and forward again", async () => {
  await withPage([], async (page) => {
    await pickEffect(page, "OndrelCircle");
    await typeInto(page, "#size", "640x360");
    const before = await previewPixels(page);
    // 125 pixels right of the centre: outside a radius of 100, inside one of 150.
    assert.notDeepEqual(pixelAt(before, 445, 180), red);
    await typeValue(page, "Radius", 150);
    const after = await previewPixels(page);
    assert.deepEqual(pixelAt(after, 445, 180), red);

    // Ctrl+Z in the field the value was typed into, once Enter committed it, is the page's.
    await press(page, "Control+z");
    assert.equal(await shown(page, "Radius"), "100");
    assert.ok(samePixels(await previewPixels(page), before), "the preview is the one before");
    // Leaving the field commits nothing: the step undone is still there to redo.
    await page.keyboard.press("Tab");
    await idle(page);
    assert.equal(await disabled(page, "redo"), false);
    assert.equal(await shown(page, "Radius"), "100");

    await press(page, "Control+Shift+Z");
    assert.equal(await shown(page, "Radius"), "150");
    assert.ok(samePixels(await previewPixels(page), after));
    await andRender(page, () => page.click("#undo"));
    assert.equal(await shown(page, "Radius"), "100");
    await press(page, "Control+y");
    assert.equal(await shown(page, "Radius"), "150");
    assert.ok(samePixels(await previewPixels(page), after));
    assert.equal(await disabled(page, "redo"), true);

    // While a value is being typed, Ctrl+Z is the field's own: the page sends nothing and its
    // history stays; once the text is back to what was committed, Ctrl+Z is the page's again.
    let asked = 0;
    page.on("request", (r) => { if (r.url().includes("/api/")) asked++; });
    await page.focus(entry("Radius"));
    await page.keyboard.press("Control+a");
    await page.keyboard.type("170");
    await page.keyboard.press("Control+z");
    assert.equal(await shown(page, "Radius"), "150");
    assert.equal(asked, 0);
    assert.equal(await disabled(page, "redo"), true);
    await press(page, "Control+z");
    assert.equal(await shown(page, "Radius"), "100");
    assert.ok(samePixels(await previewPixels(page), before));
  });
});

test("keyframes, interpolation, a drag, the effect and the settings are each one step", async () => {
  await withPage([], async (page) => {
    await pickEffect(page, "OndrelCircle");
    await typeInto(page, "#size", "640x360");
    await andRender(page, () => page.click(`${row("Radius")} .stopwatch`));
    await goTo(page, 20);
    await andRender(page, () => page.click(`${row("Radius")} .key`));
    await typeValue(page, "Radius", 200);
    await andRender(page, () => page.selectOption(`${row("Radius")} .interpolation`, "hold"));
    assert.equal(await ticks(page), 2);

    const undone = [];
    for (let i = 0; i < 4; ++i) {
      await press(page, "Control+z");
      undone.push([await valueOf(page, `${row("Radius")} .interpolation`), await shown(page, "Radius"),
        await ticks(page), await pressed(page, "Radius")]);
    }
    assert.deepEqual(undone, [
      ["linear", "200", 2, "true"], // the interpolation
      ["linear", "100", 2, "true"], // the value at frame 20, where the key was added
      ["linear", "100", 1, "true"], // the key added
      ["linear", "100", 0, "false"], // the stopwatch
    ]);
    assert.equal(await valueOf(page, "#frame"), "20", "the current frame is no step");
    for (let i = 0; i < 4; ++i) await press(page, "Control+Shift+Z");
    assert.deepEqual([await valueOf(page, `${row("Radius")} .interpolation`), await shown(page, "Radius"),
      await ticks(page)], ["hold", "200", 2]);
    await goTo(page, 1);
    await andRender(page, () => page.click(`${row("Radius")} .stopwatch`));

    // A drag of a handle, drafts and all, is one step.
    const resting = await previewPixels(page);
    const [fromX, fromY] = await onScreen(page, [320, 180]);
    const [toX, toY] = await onScreen(page, [420, 180]);
    await andRender(page, async () => {
      await page.mouse.move(fromX, fromY);
      await page.mouse.down();
      await page.mouse.move(toX, toY, {steps: 10});
      await page.mouse.up();
    });
    const dragged = await pointOf(page, "Center");
    assert.ok(Math.abs(dragged[0] - 420) <= 1.5, `Center ${dragged}`);
    await press(page, "Control+z");
    assert.deepEqual(await pointOf(page, "Center"), [320, 180]);
    assert.ok(samePixels(await previewPixels(page), resting));

    // The effect and the header's settings.
    await pickEffect(page, "OndrelLine");
    await typeValue(page, "Thickness", 7);
    await andRender(page, () => page.selectOption("#depth", "16"));
    await typeInto(page, "#fps", "12");
    const back = [];
    for (let i = 0; i < 4; ++i) {
      await press(page, "Control+z");
      back.push([await valueOf(page, "#effect"), await valueOf(page, "#depth"), await valueOf(page, "#fps")]);
    }
    assert.deepEqual(back, [["OndrelLine", "16", "24"], ["OndrelLine", "8", "24"],
      ["OndrelLine", "8", "24"], ["OndrelCircle", "8", "24"]]);
    assert.deepEqual(await pointOf(page, "Center"), [320, 180], "the circle's own work is back");
    await press(page, "Control+y");
    assert.equal(await shown(page, "Thickness"), "20");
    await press(page, "Control+y");
    assert.equal(await shown(page, "Thickness"), "7");
    assert.equal(await valueOf(page, "#size"), "640x360");
  });
});

test("the work is kept through a reload and a server restart, without its steps", async () => {
  let server = await startServer();
  const browser = await startBrowser();
  try {
    const page = browser.context.pages()[0] ?? await browser.context.newPage();
    await page.goto(server.url);
    await settled(page);
    await pickEffect(page, "OndrelCircle");
    await typeInto(page, "#size", "640x360");
    await typeValue(page, "Radius", 150);
    await andRender(page, () => page.click(`${row("Scale")} .stopwatch`));
    await andRender(page, () => page.selectOption("#depth", "16"));
    await pickEffect(page, "OndrelLine");
    await typeValue(page, "Thickness", 7);
    await pickEffect(page, "OndrelCircle");
    const kept = await previewPixels(page);

    const check = async (when) => {
      assert.equal(await valueOf(page, "#effect"), "OndrelCircle", when);
      assert.deepEqual([await shown(page, "Radius"), await valueOf(page, "#size"), await valueOf(page, "#depth"),
        await pressed(page, "Scale"), await ticks(page)], ["150", "640x360", "16", "true", 1], when);
      assert.ok(samePixels(await previewPixels(page), kept), when);
      assert.equal(await disabled(page, "undo"), true, when);
      await pickEffect(page, "OndrelLine");
      assert.equal(await shown(page, "Thickness"), "7", when);
      await pickEffect(page, "OndrelCircle");
    };
    await page.reload();
    await settled(page);
    await check("after a reload");
    await server.stop();
    server = await startServer(["--port", new URL(server.url).port]);
    await page.goto(server.url);
    await settled(page);
    await check("after the server restarted");
  } finally {
    await browser.close();
    await server.stop();
  }
});

test("a page new to the work starts from serve --recipe, and keeps what was done since", async () => {
  const folder = tempFolder();
  const file = path.join(folder, "shot.json");
  const shot = (first) => ({
    effect: "OndrelCircle", module: path.join(folder, "Other.so"), output: "out.####.png",
    size: "480x270", depth: 16, fps: "12", frames: "5-30",
    params: {
      Radius: {interpolation: "ease", keys: [{time: 5, value: first}, {time: "2s", value: 90}]},
      Center: [100, 60], "Fill Color": "#00ff00",
    },
  });
  fs.writeFileSync(file, JSON.stringify(shot(40), null, 2));
  let server = await startServer(["--recipe", file]);
  const browser = await startBrowser();
  try {
    const page = browser.context.pages()[0] ?? await browser.context.newPage();
    await page.goto(server.url);
    await settled(page);
    const fields = {};
    for (const id of ["effect", "size", "depth", "fps", "start", "end", "frame"]) fields[id] = await valueOf(page, `#${id}`);
    assert.deepEqual(fields, {effect: "OndrelCircle", size: "480x270", depth: "16", fps: "12", start: "5", end: "30", frame: "5"});
    assert.equal(await shown(page, "Radius"), "40");
    assert.deepEqual(await pointOf(page, "Center"), [100, 60]);
    assert.equal(await valueOf(page, `${row("Fill Color")} [data-role="color"]`), "#00ff00");
    assert.equal(await valueOf(page, `${row("Radius")} .interpolation`), "ease");
    assert.equal(await ticks(page), 2);
    const image = await previewPixels(page);
    assert.deepEqual([image.width, image.height], [480, 270]);
    assert.deepEqual(pixelAt(image, 100, 60), green);
    assert.notDeepEqual(pixelAt(image, 145, 60), green, "a radius of 40");
    await page.screenshot({path: screenshotPath("work-recipe.png")});
    // 2 s at 12 frames a second.
    await goTo(page, 24);
    assert.equal(await shown(page, "Radius"), "90");

    // The module stays the server's, said once on the page and once at the start.
    const line = `${file} names module "${path.join(folder, "Other.so")}"; ondrel serve keeps its own: module "${path.basename(shapes)}"`;
    assert.deepEqual(await notes(page), [line]);
    assert.deepEqual(server.log().split("\n").filter((l) => l.includes(" names ")), [`ondrel serve: ${line}`]);

    // The recipe saved keeps the recipe's output and frames.
    const [download] = await Promise.all([page.waitForEvent("download"), page.click("#save")]);
    const saved = JSON.parse(fs.readFileSync(await download.path(), "utf8"));
    assert.equal(saved.output, path.join(folder, "out.####.png"));
    assert.equal(saved.frames, "5-30");
    assert.deepEqual(saved.params.Radius, {interpolation: "ease", keys: [{time: 5, value: 40}, {time: 24, value: 90}]});
    assert.equal(saved.module, path.resolve(shapes));

    // What was done since is kept through a reload: the same recipe is not new to it.
    await goTo(page, 5);
    await typeValue(page, "Radius", 50);
    await page.reload();
    await settled(page);
    assert.equal(await shown(page, "Radius"), "50");
    assert.deepEqual(await notes(page), []);
    // A changed recipe is.
    fs.writeFileSync(file, JSON.stringify(shot(60), null, 2));
    await server.stop();
    server = await startServer(["--recipe", file, "--port", new URL(server.url).port]);
    await page.goto(server.url);
    await settled(page);
    assert.equal(await shown(page, "Radius"), "60");
  } finally {
    await browser.close();
    await server.stop();
    fs.rmSync(folder, {recursive: true, force: true});
  }
});

test("a recipe opened by the button, its file input or a drop is one step, read as render reads it", async () => {
  const folder = tempFolder();
  const write = (name, text) => {
    fs.writeFileSync(path.join(folder, name), text);
    return path.join(folder, name);
  };
  try {
    await withPage([], async (page) => {
      await pickEffect(page, "OndrelCircle");
      await typeValue(page, "Radius", 150);

      const line = write("line.json", JSON.stringify({effect: "OndrelLine", size: "320x180", params: {Thickness: 7}}));
      const [chooser] = await Promise.all([page.waitForEvent("filechooser"), page.click("#open")]);
      await andRender(page, () => chooser.setFiles(line));
      assert.deepEqual([await valueOf(page, "#effect"), await shown(page, "Thickness"), await valueOf(page, "#size")],
        ["OndrelLine", "7", "320x180"]);
      assert.deepEqual(await page.$eval("#preview", (c) => [c.width, c.height]), [320, 180]);
      await press(page, "Control+z");
      assert.deepEqual([await valueOf(page, "#effect"), await shown(page, "Radius"), await valueOf(page, "#size")],
        ["OndrelCircle", "150", "1920x1080"]);

      const other = write("other.json", JSON.stringify({effect: "OndrelCircle", module: "/elsewhere/Other.so", params: {Radius: 60}}));
      await andRender(page, () => page.setInputFiles("#recipe-file", other));
      assert.equal(await shown(page, "Radius"), "60");
      assert.deepEqual(await notes(page),
        [`other.json names module "/elsewhere/Other.so"; ondrel serve keeps its own: module "${path.basename(shapes)}"`]);

      // Refused with the reader's message, naming the line; the work stays.
      const bad = write("bad.json", '{"effect": "OndrelCircle",\n  "params": {"Radius": "big"}}\n');
      await page.setInputFiles("#recipe-file", bad);
      await page.waitForSelector("#messages .error");
      assert.deepEqual(await page.$$eval("#messages .error", (e) => e.map((m) => m.textContent)),
        ['bad.json:2: "Radius" takes a number']);
      assert.equal(await shown(page, "Radius"), "60");

      // Dropped on the stage.
      await andRender(page, () => page.evaluate(() => {
        const data = new DataTransfer();
        data.items.add(new File(['{"effect": "OndrelLine", "params": {"Thickness": 9}}'], "drop.json", {type: "application/json"}));
        document.getElementById("stage").dispatchEvent(new DragEvent("drop", {dataTransfer: data, bubbles: true, cancelable: true}));
      }));
      assert.deepEqual([await valueOf(page, "#effect"), await shown(page, "Thickness")], ["OndrelLine", "9"]);
      assert.equal(await page.$("#messages .error"), null);
    });
  } finally {
    fs.rmSync(folder, {recursive: true, force: true});
  }
});
