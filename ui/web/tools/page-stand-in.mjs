// A small stand-in for the few DOM calls the page and its program make, so
// that the build can run them in Node.js: every element with an id in the
// page's markup (with a list's options and a picture's hidden attribute), the
// elements' and the document's events, and a global to run the page's
// scripts in.
import vm from 'node:vm';

const ignore = () => {};

class Element {
  constructor(document, tag, id, attributes, parent) {
    Object.assign(this, {document, tagName: tag.toUpperCase(), id, parent, textContent: '', value: ''});
    this.hidden = /\shidden(\s|$)/.test(attributes);
    this.autofocus = /\sautofocus(\s|$)/.test(attributes);
    const tabindex = /tabindex="(-?\d+)"/.exec(attributes);
    this.tabIndex = tabindex ? Number(tabindex[1]) : -1;
    this.dataset = {};
    this.classList = {add: ignore, remove: ignore};
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
  // An event on an element goes on to the document, as a click or a change
  // bubbles up to it in a browser.
  dispatch(type, target = this) {
    for (const l of [...this.listeners]) {
      if (l.type === type) {
        if (l.once) {
          this.removeEventListener(type, l.listener);
        }
        l.listener({type, target});
      }
    }
    if (this.document && this !== this.document) {
      this.document.dispatch(type, target);
    }
  }
  focus() {
    this.document.activeElement = this;
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
    if (selector === '.picture > template') {
      return []; // the pictures' drawings take no part
    }
    if (selector !== '[tabindex]') {
      throw new Error(`no stand-in for querySelectorAll('${selector}')`);
    }
    return this.document.elements.filter((e) => e.parent === this && e.tabIndex >= 0);
  }
  add(option) {
    this.options.push(option);
  }
  removeAttribute(name) {
    this[name] = false;
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
  // A script element added to the document runs, as in a browser.
  append(child) {
    if (child.tagName === 'SCRIPT') {
      vm.runInContext(child.text, this.document.context, {filename: 'inserted script'});
    }
  }
}

const decodeEntities = (text) =>
  text.replace(/&lt;/g, '<').replace(/&gt;/g, '>').replace(/&quot;/g, '"').replace(/&amp;/g, '&');

// The document of `html` and a global holding it: a desktop browser opened on
// the file, with a fine pointer, room enough and no worker.
export function standIn(html) {
  const document = {
    activeElement: null,
    readyState: 'loading',
    hidden: false,
    elements: [],
    listeners: [],
    documentElement: {dataset: {}, clientWidth: 1024, style: {setProperty: ignore}},
    getElementById: (id) => document.elements.find((e) => e.id === id) || null,
    querySelectorAll: () => [],
    querySelector: (selector) => {
      if (selector !== '[autofocus]') {
        throw new Error(`no stand-in for querySelector('${selector}')`);
      }
      return document.elements.find((e) => e.autofocus) || null;
    },
    addEventListener: Element.prototype.addEventListener,
    removeEventListener: Element.prototype.removeEventListener,
    dispatch: Element.prototype.dispatch,
    createElement: (tag) => new Element(document, tag, '', '', null),
  };
  document.head = new Element(document, 'head', '', '', null);

  const frmStart = html.indexOf('<div id="frmMain">');
  const frmEnd = html.indexOf('<p id="saveNote"');
  let frm = null;
  for (const match of html.matchAll(/<(\w+)(\s[^>]*)?\sid="([^"]+)"([^>]*)>/g)) {
    const inFrm = frm && match.index > frmStart && match.index < frmEnd;
    const element =
        new Element(document, match[1], match[3], `${match[2] || ''} ${match[4]}`, inFrm ? frm : null);
    if (element.id === 'frmMain') {
      frm = element;
    }
    const start = match.index + match[0].length;
    if (element.tagName === 'SCRIPT') {
      element.textContent = html.slice(start, html.indexOf('</script>', start));
    }
    if (element.tagName === 'SELECT') {
      const markup = html.slice(start, html.indexOf('</select>', start));
      for (const option of markup.matchAll(/<option( selected)?>([^<]*)<\/option>/g)) {
        if (option[1]) {
          element.selectedIndex = element.options.length;
        }
        element.add({text: decodeEntities(option[2])});
      }
    }
    document.elements.push(element);
  }

  const context = vm.createContext({
    document,
    location: {protocol: 'file:'},
    screen: {width: 1920, height: 1080},
    navigator: {},
    matchMedia: () => ({matches: false, addEventListener: ignore}),
    addEventListener: ignore,
    requestAnimationFrame: (callback) => setTimeout(callback, 16),
    console,
    setTimeout,
    clearTimeout,
    atob,
    Response,
    DecompressionStream,
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
  document.context = context;
  return {document, context, byId: document.getElementById};
}

// Runs the page's <script> blocks in order, then ends its loading as a
// browser does.
export function runScripts(html, {document, context}, filename) {
  const scripts = [...html.matchAll(/<script>\n?([\s\S]*?)<\/script>/g)].map((m) => m[1]);
  for (const script of scripts) {
    vm.runInContext(script, context, {filename});
  }
  document.readyState = 'complete';
  document.dispatch('DOMContentLoaded');
  return scripts.length;
}
