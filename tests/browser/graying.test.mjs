// Graying as the module's parameter-UI update decides it, sent whenever a popup changes: the page
// grays exactly those controls, and a grayed control cannot be edited.
import { test } from "node:test";
import assert from "node:assert/strict";
import { withPage, pickEffect, andRender, probe, screenshotPath } from "./support.mjs";

async function grayed(page) {
  return page.$$eval("#controls .param.disabled", (rows) => rows.map((r) => r.dataset.name));
}

// Chooses a popup's item and waits for what it leads to: the module's graying and a render.
async function choose(page, popup, item) {
  await andRender(page, () => page.selectOption(`#controls .param[data-name="${popup}"] select`, {label: item}));
}

test("the rectangle's two popups gray the controls their tables name", async () => {
  await withPage([], async (page) => {
    await pickEffect(page, "OndrelRectangle");
    // The rectangle's own tables: "Controlled By" first, then "Mode".
    const cases = [
      ["Two Points", "Fill", ["Center", "Width", "Height", "Stroke Width", "Stroke Color"]],
      ["Width & Height", "Fill", ["Point 1", "Point 2", "Stroke Width", "Stroke Color"]],
      ["Width & Height", "Stroke", ["Point 1", "Point 2", "Fill Color"]],
      ["Two Points", "Fill and Stroke", ["Center", "Width", "Height"]],
    ];
    for (const [controlledBy, mode, expected] of cases) {
      await choose(page, "Controlled By", controlledBy);
      await choose(page, "Mode", mode);
      assert.deepEqual((await grayed(page)).sort(), [...expected].sort(), `${controlledBy}, ${mode}`);
    }
    await page.screenshot({path: screenshotPath("graying-rectangle.png")});

    // Grayed controls take no input: their fields and buttons are disabled and their handles
    // take no pointer.
    const center = '#controls .param[data-name="Center"]';
    assert.ok(await page.$eval(center, (row) => [...row.querySelectorAll("input, select, button:not(.twirly)")]
      .every((e) => e.disabled)));
    assert.equal(await page.$eval('.handle[data-name="Center"]', (h) => getComputedStyle(h).pointerEvents), "none");
    await assert.rejects(page.fill(`${center} [data-role="x"]`, "10", {timeout: 300}));
  });
});

test("separators in a popup cannot be chosen", async () => {
  await withPage([], async (page) => {
    await pickEffect(page, "OndrelCircle");
    const select = '#controls .param[data-name="Blending Mode"] select';
    const separators = await page.$$eval(`${select} option.separator`, (o) => o.map((e) => e.disabled));
    assert.equal(separators.length, 6);
    assert.ok(separators.every(Boolean));
    // Choosing the item after "None" with the keyboard skips the separator.
    await page.selectOption(select, {label: "None"});
    await page.focus(select);
    await page.keyboard.press("ArrowDown");
    assert.equal(await page.$eval(select, (s) => s.selectedOptions[0].textContent), "Normal");
  });
});

test("another module's graying and its errors reach the page", async () => {
  await withPage([], async (page) => {
    // The probe grays "Depends" while its "Mode" is "Three".
    await choose(page, "Mode", "Three");
    assert.deepEqual(await grayed(page), ["Depends"]);
    await choose(page, "Mode", "One");
    assert.deepEqual(await grayed(page), []);

    // At an Amount of 100 its render fails with an error code and a message.
    const amount = '#controls .param[data-name="Amount"] [data-role="entry"]';
    await page.fill(amount, "100");
    await page.press(amount, "Enter");
    const error = await page.waitForSelector("#messages .error");
    const text = await error.textContent();
    assert.match(text, /HostProbe failed to render: host error 4/);
    assert.match(text, /the module says: HostProbe cannot draw an Amount of 100/);
    await page.screenshot({path: screenshotPath("module-error.png")});

    // Back within what it draws, the error goes.
    await andRender(page, async () => {
      await page.fill(amount, "50");
      await page.press(amount, "Enter");
    });
    assert.equal(await page.$("#messages .error"), null);
  }, probe);
});
