// Each effect's controls on the page, checked against `ondrel params` and `ondrel about`: what
// the module declared, as the host builds its controls.
import { test } from "node:test";
import assert from "node:assert/strict";
import { withPage, pickEffect, paramsOf, effectsOf, run, screenshotPath } from "./support.mjs";

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
