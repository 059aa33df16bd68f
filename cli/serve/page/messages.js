// Messages: each shown once, each error beside the control it names.

import {$, element} from "./util.js";
import {page} from "./state.js";

const messages = new Map(); // source -> {text, kind}

// The setting a message names by its label ("Size: ..."), as the server names them.
const settingFields = {"Size": "size", "Frame rate": "fps", "Frame range": "start", "Depth": "depth", "Effect": "effect"};

function namedControl(text) {
  if (!text) return null;
  for (const [label, id] of Object.entries(settingFields)) {
    if (text.startsWith(`${label}: `)) return $(id).closest("label");
  }
  const control = page.controls.find((c) => c.name && text.startsWith(`${c.name}: `));
  return control ? page.rows.get(control.index)?.row ?? null : null;
}

export function say(source, text, kind = "error") {
  if (text) messages.set(source, {text, kind}); else messages.delete(source);
  const shown = new Map();
  for (const m of messages.values()) shown.set(m.text, m.kind);
  for (const marked of document.querySelectorAll(".invalid")) {
    marked.classList.remove("invalid");
    marked.removeAttribute("data-error");
  }
  $("messages").replaceChildren(...[...shown].map(([text, kind]) => {
    const named = kind === "error" ? namedControl(text) : null;
    if (named) {
      named.classList.add("invalid");
      named.dataset.error = text;
    }
    return element("div", {className: kind}, text);
  }));
}
