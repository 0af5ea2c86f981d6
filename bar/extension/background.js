// The QuillEx Search Bar's background: keeps each browser window's bar (its
// search history and learning mode) in session storage, so that it survives
// the background being stopped, talks to the native host qxbar-host, and
// watches the window's navigation while learning is on.
"use strict";

const api = globalThis.browser ?? globalThis.chrome;
const HOST = "quillex.qxbar";
const MSG_NO_WORDS = "No Search words entered.";
const MSG_NO_HOST =
  "The QuillEx host is not registered: run qxbar-host --register (see the README).";

const keyOf = (windowId) => `window:${windowId}`;
const emptyBar = () => ({ history: [], learning: false, navigating: false, lastUrl: "" });

// One window's changes run one after the other: navigation events and the
// popup's commands all read, change and write the same record.
const pending = new Map();

function changeBar(windowId, change) {
  const before = pending.get(windowId) ?? Promise.resolve();
  const run = before.then(async () => {
    const key = keyOf(windowId);
    const bar = Object.assign(emptyBar(), (await api.storage.session.get(key))[key]);
    const result = await change(bar);
    await api.storage.session.set({ [key]: bar });
    return result;
  });
  const settled = run.catch(() => {});
  pending.set(windowId, settled);
  settled.then(() => {
    if (pending.get(windowId) === settled) pending.delete(windowId);
  });
  return run;
}

async function askHost(message) {
  try {
    return await api.runtime.sendNativeMessage(HOST, message);
  } catch (error) {
    console.warn("qxbar-host:", error);
    return null;
  }
}

function notify(message) {
  api.notifications
    .create({
      type: "basic",
      iconUrl: api.runtime.getURL("icons/qxbar-48.png"),
      title: "QuillEx",
      message,
    })
    .catch((error) => console.warn("notification:", error));
}

// Starts the desktop program on the words; the answer is what the popup shows.
async function launchSearch(text) {
  if (text === "") return { shown: MSG_NO_WORDS };
  const reply = await askHost({ type: "launch", words: text });
  if (reply === null) return { shown: MSG_NO_HOST };
  // Words the host refuses (too long, holding NUL) say why, and so does a
  // program that cannot be started.
  return { shown: String((reply.ok === false ? reply.error : reply.message) ?? "") };
}

async function search(windowId, text, fromHistory) {
  if (!fromHistory) {
    await changeBar(windowId, (bar) => {
      bar.history.unshift(text);
    });
  }
  return launchSearch(text);
}

// The learning step, on a completed top-frame navigation of the window.
async function examine(bar, location) {
  if (!bar.learning || !bar.navigating || location === bar.lastUrl) return;
  bar.lastUrl = location;
  const reply = await askHost({ type: "learn", location });
  if (reply === null) {
    notify(MSG_NO_HOST);
    return;
  }
  if (reply.message) notify(reply.message);
  if (reply.result === "added") bar.navigating = false;
}

async function windowOfTab(tabId) {
  if (tabId < 0) return null;
  try {
    return (await api.tabs.get(tabId)).windowId;
  } catch {
    return null;
  }
}

const webPages = { url: [{ schemes: ["http", "https"] }] };

api.webNavigation.onBeforeNavigate.addListener(async (details) => {
  if (details.frameId !== 0) return;
  const windowId = await windowOfTab(details.tabId);
  if (windowId === null) return;
  changeBar(windowId, (bar) => {
    if (bar.learning) bar.navigating = true;
  });
}, webPages);

api.webNavigation.onCompleted.addListener(async (details) => {
  if (details.frameId !== 0) return;
  const windowId = await windowOfTab(details.tabId);
  if (windowId === null) return;
  changeBar(windowId, (bar) => examine(bar, details.url));
}, webPages);

// A window's history and learning mode end with the window.
api.windows.onRemoved.addListener((windowId) => {
  const forget = () => api.storage.session.remove(keyOf(windowId));
  (pending.get(windowId) ?? Promise.resolve()).then(forget, forget);
});

api.runtime.onMessage.addListener((message, sender, sendResponse) => {
  if (sender.id !== api.runtime.id || typeof message?.windowId !== "number") return false;
  let answer;
  if (message.command === "state") {
    answer = changeBar(message.windowId, (bar) => ({ ...bar }));
  } else if (message.command === "search" && typeof message.text === "string") {
    answer = search(message.windowId, message.text, message.fromHistory === true);
  } else if (message.command === "learning") {
    answer = changeBar(message.windowId, (bar) => {
      bar.learning = message.on === true;
      return { ...bar };
    });
  } else {
    return false;
  }
  answer.then(sendResponse, (error) => sendResponse({ shown: String(error) }));
  return true;
});
