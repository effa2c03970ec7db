// Loads a freshly made koravel.html in Node.js, with a small stand-in for the
// few DOM calls the page makes (page-stand-in.mjs). The window must come
// drawn with its defaults, and one command must run through the program:
// Patch with an empty path must show its message box, wait there until the
// box is closed, and only then end. A page whose program cannot run its commands, or cannot
// wait for the browser, fails here, before it ever leaves the build.
//   node check-page.mjs PAGE
import {readFileSync} from 'node:fs';

import {runScripts, standIn} from './page-stand-in.mjs';

const pagePath = process.argv[2];
const html = readFileSync(pagePath, 'utf8');
const page = standIn(html);
const {document} = page;
const byId = (id) => document.getElementById(id);

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
if (runScripts(html, page, pagePath) === 0) {
  fail('holds no script');
}

const state = () => document.documentElement.dataset.state;
const box = byId('msgBox');
await until('the page to be ready', () => state() === 'ready');
// The window is drawn before the program has started.
const region = byId('cboPatch1');
if (region.options[region.selectedIndex]?.text !== 'USA' || byId('picPatchRed').hidden) {
  fail('the window did not come with its defaults (region "USA", the red swirl shown)');
}

byId('txtFlash').value = '';
byId('cmdPatch').click();
await until('the message box of Patch with no flash selected', () => box.open);
const prompt = byId('msgPrompt').textContent;
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
