// The bar's popup: the search box with this window's history, and the
// learning button. The state lives in the background, per browser window.
"use strict";

const api = globalThis.browser ?? globalThis.chrome;
const words = document.getElementById("words");
const learn = document.getElementById("learn");
const drop = document.getElementById("drop");
const history = document.getElementById("history");
const message = document.getElementById("message");
let windowId = null;

const send = (command, fields = {}) => api.runtime.sendMessage({ command, windowId, ...fields });

function show(bar) {
  learn.setAttribute("aria-pressed", String(bar.learning));
  history.replaceChildren(
    ...bar.history.map((text) => {
      const item = document.createElement("li");
      item.setAttribute("role", "option");
      item.tabIndex = -1;
      item.textContent = text;
      return item;
    })
  );
}

function openList(open) {
  history.hidden = !open;
  drop.setAttribute("aria-expanded", String(open));
}

async function refresh() {
  show(await send("state"));
}

async function search(text, fromHistory) {
  message.textContent = "";
  const answer = await send("search", { text, fromHistory });
  message.textContent = answer?.shown ?? "";
  await refresh();
}

words.addEventListener("keydown", (event) => {
  if (event.key !== "Enter" || event.isComposing) return;
  event.preventDefault();
  openList(false);
  search(words.value, false);
});

drop.addEventListener("click", () => openList(history.hidden));

// The keyboard works the list too: Down opens it, Up and Down move, Enter
// chooses, Escape closes.
words.addEventListener("keydown", (event) => {
  if (event.key !== "ArrowDown" || !history.firstElementChild) return;
  event.preventDefault();
  openList(true);
  history.firstElementChild.focus();
});
history.addEventListener("keydown", (event) => {
  const item = event.target.closest("li");
  if (!item) return;
  const next = { ArrowDown: item.nextElementSibling, ArrowUp: item.previousElementSibling };
  if (event.key in next) {
    event.preventDefault();
    (next[event.key] ?? item).focus();
  } else if (event.key === "Enter") {
    event.preventDefault();
    item.click();
  } else if (event.key === "Escape") {
    event.preventDefault();
    openList(false);
    words.focus();
  }
});

// An earlier entry starts its search again; the list stays as it is.
history.addEventListener("click", (event) => {
  const item = event.target.closest("li");
  if (!item) return;
  words.value = item.textContent;
  openList(false);
  words.focus();
  search(item.textContent, true);
});

learn.addEventListener("click", async () => {
  const on = learn.getAttribute("aria-pressed") !== "true";
  show(await send("learning", { on }));
});

(async () => {
  windowId = (await api.windows.getCurrent()).id;
  await refresh();
  words.focus();
})();
