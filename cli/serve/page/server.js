// The page's client of the server: every request it sends, by what it asks for. A refusal
// throws, with the server's message.

async function call(path, body) {
  const response = await fetch(path, body === undefined ? {} : {
    method: "POST", headers: {"Content-Type": "application/json"}, body: JSON.stringify(body),
  });
  if (!response.ok) {
    const text = await response.text();
    let message = text;
    try { message = JSON.parse(text).error; } catch (e) { /* not JSON */ }
    throw new Error(message || `${response.status} ${response.statusText}`);
  }
  return response;
}

// The effects, the module's name, the input, the built-in layer's size and the preview's limits.
export async function effects() { return (await call("/api/effects")).json(); }

// An effect's parameter definitions and its about text.
export async function controls(effect) {
  return (await call(`/api/controls?effect=${encodeURIComponent(effect)}`)).json();
}

// Each parameter's value at a request's frame, and what the module grays and hides there.
export async function state(request) { return (await call("/api/state", request)).json(); }

// A frame's pixels, or the rectangle that changed since the request's base; the response itself,
// for its headers and its status (204 where a newer request overtook it).
export function preview(request) { return call("/api/preview", request); }

// The recipe file "Save recipe" writes.
export async function recipe(request) { return (await call("/api/recipe", request)).text(); }

// The work of the recipe the server started with (`ondrel serve --recipe`), or null.
export async function start() { return (await call("/api/start")).json(); }

// The work of a recipe file's text ({name, text}), as the server reads a recipe.
export async function open(file) { return (await call("/api/open", file)).json(); }

// Requests not yet answered, of every kind; tests wait for none.
let pending = 0;
export function busy(change) {
  pending += change;
  document.body.dataset.pending = String(pending);
}
