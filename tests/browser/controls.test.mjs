// Each effect's controls on the page, checked against `ondrel params` and `ondrel about`: what
// the module declared, as the host builds its controls.
import { test } from "node:test";
import assert from "node:assert/strict";
import { withPage, pickEffect, andRender, paramsOf, effectsOf, run, screenshotPath } from "./support.mjs";

const numbers = (text) => (text.match(/-?\d+(?:\.\d+)?/g) ?? []).map(Number);

// The page's controls, read from the DOM, by parameter index.
async function controlsOnPage(page) {
  return page.evaluate(() => Object.fromEntries([...document.querySelectorAll("#controls [data-index]")].map((row) => [row.dataset.index, (() => {
    const role = (r) => row.querySelector(`:scope > .value [data-role="${r}"], :scope > .more [data-role="${r}"]`);
    const more = row.querySelector(":scope > .more");
    return {
      group: row.classList.contains("group"),
      open: row.classList.contains("group") ? !row.classList.contains("closed") : null,
      name: row.dataset.name,
      kind: row.dataset.kind,
      entry: role("entry") && {value: role("entry").value, min: role("entry").min, max: role("entry").max},
      slider: role("slider") && {min: role("slider").min, max: role("slider").max},
      unit: row.querySelector(":scope > .value .unit")?.textContent ?? null,
      point: role("x") && [Number(role("x").value), Number(role("y").value)],
      color: role("color")?.value ?? null,
      popup: role("popup") && {
        value: role("popup").value,
        options: [...role("popup").options].map((o) => ({text: o.textContent, disabled: o.disabled})),
      },
      moreShown: more ? !more.hidden : null,
      dial: !!row.querySelector(".dial"),
    };
  })()])));
}

const kindOf = {"float slider": "slider", "fixed slider": "slider", point: "point", angle: "angle",
  color: "color", popup: "popup"};

test("every effect's controls are what the module declares", async () => {
  await withPage([], async (page) => {
    for (const effect of effectsOf()) {
      await pickEffect(page, effect);
      const about = run("about", effect).trimEnd();
      assert.equal((await page.textContent("#about-text")).trimEnd(), about);
      const controls = await controlsOnPage(page);
      for (const p of paramsOf(effect).slice(1)) {
        const c = controls[p.index] ?? null;
        const where = `${effect} parameter ${p.index} (${p.name})`;
        if (p.type === "group end") {
          assert.equal(c, null, where);
          continue;
        }
        assert.ok(c, `${where} has a control`);
        assert.equal(c.name, p.name, where);
        if (p.type === "group") {
          // The group's flags leave it open.
          assert.deepEqual([c.group, c.open], [true, true], where);
          continue;
        }
        assert.equal(c.kind, kindOf[p.type], where);
        if (c.kind === "slider") {
          const [value, validMin, validMax, sliderMin, sliderMax] = numbers(p.rest);
          assert.deepEqual(numbers(`${c.entry.value} ${c.entry.min} ${c.entry.max}`), [value, validMin, validMax], where);
          assert.deepEqual([Number(c.slider.min), Number(c.slider.max)], [sliderMin, sliderMax], where);
          assert.equal(c.unit, p.rest.endsWith(" %") ? "%" : "", where);
        } else if (c.kind === "point") {
          // Defaults are percentages of the layer, 1920x1080 here.
          const [x, y] = numbers(p.rest);
          assert.deepEqual(c.point, [(x * 1920) / 100, (y * 1080) / 100], where);
        } else if (c.kind === "angle") {
          assert.equal(Number(c.entry.value), numbers(p.rest)[0], where);
          assert.ok(c.dial, `${where} has a dial`);
        } else if (c.kind === "color") {
          const [r, g, b] = numbers(p.rest);
          assert.equal(c.color, "#" + [r, g, b].map((v) => v.toString(16).padStart(2, "0")).join(""), where);
        } else if (c.kind === "popup") {
          const [value, count] = numbers(p.rest);
          const items = p.rest.slice(p.rest.indexOf(": ") + 2).split("|");
          assert.equal(items.length, count, where);
          assert.equal(c.popup.value, String(value), where);
          assert.deepEqual(c.popup.options.map((o) => o.disabled), items.map((i) => i === "(-"), where);
          assert.deepEqual(c.popup.options.filter((o) => !o.disabled).map((o) => o.text),
            items.filter((i) => i !== "(-"), where);
        }
        // A slider starts with its twirly up, as the module's flags say; an angle shows its dial.
        if (c.kind === "slider") assert.equal(c.moreShown, false, where);
        if (c.kind === "angle") assert.equal(c.moreShown, true, where);
      }
      await page.screenshot({path: screenshotPath(`controls-${effect}.png`)});
    }
  });
});

test("twirlies open and close, and typed values stay within the valid range", async () => {
  await withPage([], async (page) => {
    await pickEffect(page, "OndrelCircle");
    const radius = '#controls .param[data-name="Radius"]';
    await page.click(`${radius} > .twirly`);
    assert.equal((await controlsOnPage(page))[1].moreShown, true);
    await page.click('#controls .group[data-name="Transform"] > .head > .twirly');
    assert.equal(await page.isVisible('#controls .param[data-name="Rotation"]'), false);

    const entry = `${radius} [data-role="entry"]`;
    for (const [typed, kept] of [["5000", "3000"], ["-7", "0"], ["250.25", "250.3"]]) {
      await page.fill(entry, typed);
      await page.press(entry, "Enter");
      await page.waitForFunction(([s, v]) => document.querySelector(s).value === v, [entry, kept]);
    }
    // The slider keeps to its own range while the value goes beyond it.
    assert.equal(await page.$eval(`${radius} [data-role="slider"]`, (s) => s.value), "100");
  });
});

const param = (name) => `#controls .param[data-name="${name}"]`;
const entryOf = (name) => `${param(name)} [data-role="entry"]`;
const entryValue = (page, name) => page.$eval(entryOf(name), (e) => Number(e.value));

async function typeValue(page, selector, value) {
  await andRender(page, async () => {
    await page.fill(selector, String(value));
    await page.press(selector, "Enter");
  });
}

// Drags the splitter between the panel and the viewer `dx` pixels sideways.
async function dragSplitter(page, dx) {
  const splitter = await page.locator("#splitter").boundingBox();
  const [x, y] = [splitter.x + splitter.width / 2, splitter.y + 100];
  await page.mouse.move(x, y);
  await page.mouse.down();
  await page.mouse.move(x + dx, y, {steps: 5});
  await page.mouse.up();
}

test("labels and numbers keep their room on an animated row, and the panel widens by its edge", async () => {
  await withPage([], async (page) => {
    await pickEffect(page, "OndrelCircle");
    // As narrow as the panel goes: a row that does not fit scrolls, its label and numbers whole.
    await dragSplitter(page, -400);
    assert.ok((await page.locator("#panel").boundingBox()).width < 300);
    // Every stopwatch on brings each row's keyframe navigator and interpolation; a long number
    // wants more room still.
    for (const name of await page.$$eval("#controls .param .stopwatch", (s) => s.map((b) => b.closest(".param").dataset.name))) {
      if (await page.isEnabled(`${param(name)} .stopwatch`)) await andRender(page, () => page.click(`${param(name)} .stopwatch`));
    }
    await typeValue(page, entryOf("Scale"), -123456.7);
    const cut = await page.evaluate(() => [...document.querySelectorAll("#controls .param:not([hidden])")].flatMap((row) => {
      const label = row.querySelector(":scope > .name");
      const value = row.querySelector(":scope > .value").getBoundingClientRect();
      const found = [];
      if (label.scrollWidth > label.clientWidth) found.push(`${row.dataset.name}: its label is cut`);
      if (label.getBoundingClientRect().right > value.left) found.push(`${row.dataset.name}: its label lies under its values`);
      for (const input of row.querySelectorAll(":scope > .value input[type=number]")) {
        if (input.scrollWidth > input.clientWidth) found.push(`${row.dataset.name}: ${input.value} is cut`);
      }
      return found;
    }));
    assert.deepEqual(cut, []);
    assert.equal(await page.$eval(entryOf("Scale"), (e) => e.value), "-123456.7");
    // Every row's values start at one edge, whatever its label and indent.
    const starts = await page.$$eval("#controls .param:not([hidden]) > .value", (v) => v.map((e) => Math.round(e.getBoundingClientRect().left)));
    assert.deepEqual([...new Set(starts)].length, 1, `values start at ${starts}`);

    // The splitter widens the panel and the viewer gives the room; the next page keeps the width.
    const [panel, viewer] = await Promise.all(["#panel", "#viewer"].map((s) => page.locator(s).boundingBox()));
    await dragSplitter(page, 150);
    const widened = await page.locator("#panel").boundingBox();
    assert.equal(Math.round(widened.width - panel.width), 150);
    assert.equal(Math.round(viewer.width - (await page.locator("#viewer").boundingBox()).width), 150);
    await page.reload();
    await page.waitForSelector(`${param("Radius")}`);
    assert.equal(Math.round((await page.locator("#panel").boundingBox()).width), Math.round(widened.width));
  });
});

// Drags the middle of a number `dx` pixels sideways, with the keys given held down.
async function scrub(page, selector, dx, keys = []) {
  const box = await page.locator(selector).boundingBox();
  const [x, y] = [box.x + box.width / 2, box.y + box.height / 2];
  await andRender(page, async () => {
    for (const key of keys) await page.keyboard.down(key);
    await page.mouse.move(x, y);
    await page.mouse.down();
    await page.mouse.move(x + dx, y, {steps: 6});
    await page.mouse.up();
    for (const key of keys) await page.keyboard.up(key);
  });
}

test("a number dragged sideways follows the pointer, coarse with Shift and fine with Ctrl, as one step", async () => {
  await withPage([], async (page) => {
    await pickEffect(page, "OndrelCircle");
    const drafts = () => page.evaluate(() => Number(document.body.dataset.drafts ?? 0));
    const before = await drafts();
    await scrub(page, entryOf("Radius"), 30);
    assert.equal(await entryValue(page, "Radius"), 130);
    assert.ok(await drafts() > before, "the preview follows the drag");
    // The whole drag is one step of the history.
    await page.keyboard.press("Control+z");
    await page.waitForFunction((s) => document.querySelector(s).value === "100", entryOf("Radius"));
    await page.keyboard.press("Control+Shift+Z");
    await page.waitForFunction((s) => document.querySelector(s).value === "130", entryOf("Radius"));

    await scrub(page, entryOf("Radius"), 5, ["Shift"]);
    assert.equal(await entryValue(page, "Radius"), 180);
    await scrub(page, entryOf("Radius"), -30, ["Control"]);
    assert.equal(await entryValue(page, "Radius"), 177);
    // Never beyond the valid range: 0 to 3000 for the radius, 0 to 100 for the opacity.
    await scrub(page, entryOf("Radius"), -20, ["Shift"]);
    assert.equal(await entryValue(page, "Radius"), 0);
    await scrub(page, entryOf("Opacity"), 20);
    assert.equal(await entryValue(page, "Opacity"), 100);
    // The position's numbers, one unit a pixel each.
    const x = `${param("Position")} [data-role="x"]`;
    await scrub(page, x, -40);
    assert.equal(await page.$eval(x, (e) => Number(e.value)), 920);

    // A click that does not drag edits the number as text.
    const box = await page.locator(entryOf("Radius")).boundingBox();
    await page.mouse.click(box.x + box.width / 2, box.y + box.height / 2);
    assert.equal(await page.$eval(entryOf("Radius"), (e) => e === document.activeElement), true);
    await andRender(page, async () => {
      await page.keyboard.type("42");
      await page.keyboard.press("Enter");
    });
    assert.equal(await entryValue(page, "Radius"), 42);
  });
});

test("Reset puts a control's default back, at the current frame once animated, and the effect's every default", async () => {
  await withPage([], async (page) => {
    await pickEffect(page, "OndrelCircle");
    const defaults = await controlsOnPage(page);
    const reset = (name) => andRender(page, () => page.click(`${param(name)} .reset`));
    const goTo = (frame) => typeValue(page, "#frame", frame);

    await typeValue(page, entryOf("Radius"), 250);
    await reset("Radius");
    assert.equal(await entryValue(page, "Radius"), 100);
    await andRender(page, () => page.keyboard.press("Control+z"));
    assert.equal(await entryValue(page, "Radius"), 250);
    await andRender(page, () => page.keyboard.press("Control+Shift+Z"));
    assert.equal(await entryValue(page, "Radius"), 100);

    // Animated, a reset is the default as the key at the current frame; the other keys stay.
    await andRender(page, () => page.click(`${param("Radius")} .stopwatch`));
    await typeValue(page, entryOf("Radius"), 250);
    await goTo(20);
    await typeValue(page, entryOf("Radius"), 300);
    await reset("Radius");
    assert.equal(await entryValue(page, "Radius"), 100);
    assert.equal(await page.getAttribute(`${param("Radius")} .stopwatch`, "aria-pressed"), "true");
    assert.equal(await page.$eval(`${param("Radius")} .key`, (k) => k.classList.contains("on")), true);
    await goTo(1);
    assert.equal(await entryValue(page, "Radius"), 250);

    // The effect's Reset: every control its default and no keyframes, as one step.
    await typeValue(page, `${param("Center")} [data-role="x"]`, 100);
    await andRender(page, () => page.selectOption(`${param("Mode")} [data-role="popup"]`, "2"));
    await andRender(page, () => page.click("#reset-effect"));
    assert.deepEqual(await controlsOnPage(page), defaults);
    assert.deepEqual(await page.$$eval("#controls .stopwatch[aria-pressed=true]", (s) => s.length), 0);
    await andRender(page, () => page.keyboard.press("Control+z"));
    assert.equal(await page.getAttribute(`${param("Radius")} .stopwatch`, "aria-pressed"), "true");
    assert.equal(await entryValue(page, "Radius"), 250);
    assert.equal(await page.$eval(`${param("Center")} [data-role="x"]`, (e) => Number(e.value)), 100);
    assert.equal(await page.$eval(`${param("Mode")} [data-role="popup"]`, (s) => s.value), "2");
  });
});
