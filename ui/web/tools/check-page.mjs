// Loads a freshly made koravel.html in Node.js, with a small stand-in for the
// few DOM calls the page makes, and runs one command through it: Patch with an
// empty path must show its message box, wait there until the box is closed,
// and only then end. A page whose program cannot run its commands, or cannot
// wait for the browser, fails here, before it ever leaves the build.
//   node check-page.mjs PAGE
import {readFileSync} from 'node:fs';
import vm from 'node:vm';

const pagePath = process.argv[2];
const html = readFileSync(pagePath, 'utf8');

class Element {
  constructor(tag, id, attributes, parent) {
    Object.assign(this, {tagName: tag.toUpperCase(), id, parent, textContent: '', value: ''});
    this.hidden = /\shidden(\s|$)/.test(attributes);
    const tabindex = /tabindex="(-?\d+)"/.exec(attributes);
    this.tabIndex = tabindex ? Number(tabindex[1]) : -1;
    this.dataset = {};
    this.classList = {add() {}, remove() {}};
    this.listeners = [];
    this.options = [];
    this.selectedIndex = -1;
    this.open = false;
  }
  addEventListener(type, listener, options) {
    this.listeners.push({type, listener, once: Boolean(options && options.once)});
  }
  removeEventListener(type, listener) {
    this.listeners = this.listeners.filter((l) => l.type !== type || l.listener !== listener);
  }
  dispatch(type) {
    for (const l of [...this.listeners]) {
      if (l.type === type) {
        if (l.once) {
          this.removeEventListener(type, l.listener);
        }
        l.listener({type, target: this});
      }
    }
  }
  focus() {
    document.activeElement = this;
  }
  contains(element) {
    for (let e = element; e; e = e.parent) {
      if (e === this) {
        return true;
      }
    }
    return false;
  }
  querySelectorAll(selector) {
    if (selector !== '[tabindex]') {
      throw new Error(`check-page: no stand-in for querySelectorAll('${selector}')`);
    }
    return elements.filter((e) => e.parent === this && e.tabIndex >= 0);
  }
  add(option) {
    this.options.push(option);
  }
  showModal() {
    this.open = true;
  }
  close() {
    this.open = false;
    this.dispatch('close');
  }
  click() {
    this.dispatch('click');
  }
}

// Every element with an id, and the form it lies in.
const elements = [];
const byId = new Map();
{
  const frmStart = html.indexOf('<div id="frmMain">');
  const frmEnd = html.indexOf('<p id="saveNote"');
  let frm = null;
  for (const match of html.matchAll(/<(\w+)(\s[^>]*)?\sid="([^"]+)"([^>]*)>/g)) {
    const inFrm = frm && match.index > frmStart && match.index < frmEnd;
    const element = new Element(match[1], match[3], `${match[2] || ''} ${match[4]}`, inFrm ? frm : null);
    if (element.id === 'frmMain') {
      frm = element;
    }
    if (element.tagName === 'SCRIPT') {
      const start = match.index + match[0].length;
      element.textContent = html.slice(start, html.indexOf('</script>', start));
    }
    elements.push(element);
    byId.set(element.id, element);
  }
}

const ignore = () => {};
const document = {
  activeElement: null,
  documentElement: {dataset: {}, clientWidth: 1024, style: {setProperty: ignore}},
  getElementById: (id) => byId.get(id) || null,
  querySelectorAll: () => [],
  addEventListener: ignore,
};
// A desktop browser opened on the file: a fine pointer, room enough, no worker.
const context = vm.createContext({
  document,
  location: {protocol: 'file:'},
  screen: {width: 1920, height: 1080},
  navigator: {},
  matchMedia: () => ({matches: false, addEventListener: ignore}),
  addEventListener: ignore,
  console,
  setTimeout,
  clearTimeout,
  atob,
  TextDecoder,
  performance,
  Option: class {
    constructor(text) {
      this.text = text;
    }
  },
});
context.window = context;
context.self = context;

function fail(message) {
  console.error(`check-page: ${pagePath}: ${message}`);
  process.exit(1);
}

async function until(what, condition) {
  const deadline = Date.now() + 10000;
  while (!condition()) {
    if (Date.now() > deadline) {
      fail(`gave up waiting for ${what}`);
    }
    await new Promise((resolve) => setTimeout(resolve, 5));
  }
}

process.on('unhandledRejection', (e) => fail(`unhandled rejection: ${e && e.stack || e}`));
const scripts = [...html.matchAll(/<script>\n?([\s\S]*?)<\/script>/g)].map((m) => m[1]);
if (scripts.length === 0) {
  fail('holds no script');
}
for (const script of scripts) {
  vm.runInContext(script, context, {filename: pagePath});
}

const state = () => document.documentElement.dataset.state;
const box = byId.get('msgBox');
await until('the page to be ready', () => state() === 'ready');
const region = byId.get('cboPatch1');
if (region.options[region.selectedIndex]?.text !== 'USA' || byId.get('picPatchRed').hidden) {
  fail('the window did not load its defaults (region "USA", the red swirl shown)');
}

byId.get('txtFlash').value = '';
byId.get('cmdPatch').click();
await until('the message box of Patch with no flash selected', () => box.open);
const prompt = byId.get('msgPrompt').textContent;
if (prompt !== "Don't forget to select the flash first...") {
  fail(`Patch showed "${prompt}"`);
}
await new Promise((resolve) => setTimeout(resolve, 50));
if (state() !== 'busy') {
  fail('Patch ended while its message box was still open: the program does not wait');
}
box.close();
await until('Patch to end once its message box closed', () => state() === 'ready');
console.log(`check-page: ${pagePath}: loads, runs Patch and waits on its message box`);
process.exit(0);
