// Draws the window as the program's Form_Load leaves it, for the page to
// carry: runs the program (its loader and WebAssembly, as linked) in Node.js
// on the page template's empty lists and hidden pictures, calls
// koravel_render, and writes what it drew into OUT_DIR, one file for each
// placeholder of the template: the options of each list (CBOPATCH1.html, ...);
// " hidden" or " autofocus" for each picture (PICPATCHRED.html, ...); the
// shown picture's drawing, in its box (PICPATCHRED_DRAWING.html, empty for a
// hidden one), and the hidden pictures' drawings, kept in <template>s after
// the window (KEPT_DRAWINGS.html), as markup whose pictures the inliner fills
// in; and what Select asks of the browser's picker (SELECT_PICKER.html).
//   node render-form.mjs TEMPLATE LOADER_JS WASM OUT_DIR
import {mkdirSync, readFileSync, writeFileSync} from 'node:fs';
import {join} from 'node:path';
import vm from 'node:vm';

import {standIn} from './page-stand-in.mjs';

const [templatePath, loaderPath, wasmPath, outDir] = process.argv.slice(2);
const page = standIn(readFileSync(templatePath, 'utf8'));
const lists = ['cboPatch1', 'cboPatch2', 'cboPatch3', 'cboPatch4'];
const pictures = ['picPatchRed', 'picPatchBlue', 'picPatchBlack'];
for (const id of [...lists, ...pictures]) {
  if (!page.byId(id)) {
    throw new Error(`render-form: the template has no #${id}`);
  }
}
for (const id of pictures) {
  page.byId(id).hidden = true;
}

vm.runInContext(readFileSync(loaderPath, 'utf8'), page.context, {filename: loaderPath});
const wasm = readFileSync(wasmPath);
const koravel = await page.context.createKoravel({
  instantiateWasm(imports, receiveInstance) {
    WebAssembly.instantiate(wasm, imports).then(({instance, module}) => receiveInstance(instance, module));
    return {};
  },
});
koravel._koravel_render();

const escape = (text) =>
  text.replace(/&/g, '&amp;').replace(/</g, '&lt;').replace(/>/g, '&gt;').replace(/"/g, '&quot;');
mkdirSync(outDir, {recursive: true});
for (const id of lists) {
  const list = page.byId(id);
  if (list.selectedIndex < 0) {
    throw new Error(`render-form: Form_Load left #${id} without a selection`);
  }
  const options = list.options.map((o, i) => `<option${i === list.selectedIndex ? ' selected' : ''}>${escape(o.text)}</option>`);
  writeFileSync(join(outDir, `${id.toUpperCase()}.html`), options.join(''));
}
// The picture shown is the first control in Tab order, which has the focus
// when the window opens.
if (pictures.filter((id) => !page.byId(id).hidden).length !== 1) {
  throw new Error('render-form: Form_Load did not leave exactly one picture shown');
}
// A picture's drawings at 1x, 1.5x and 2x, as the inliner names them.
const drawing = (id) => {
  const key = id.slice('picPatch'.length).toUpperCase();
  return '<picture>' +
      `<source media="(min-resolution: 2dppx)" srcset="{{${key}_2X}} 2x">` +
      `<source media="(min-resolution: 1.5dppx)" srcset="{{${key}_15X}} 1.5x">` +
      `<img alt="" width="150" height="116" src="{{${key}_1X}}"></picture>`;
};
// A hidden picture's drawing is kept in a <template> after the window, which
// the browser neither loads nor lays out until the page puts it in place.
let kept = '';
for (const id of pictures) {
  const hidden = page.byId(id).hidden;
  const name = id.toUpperCase();
  writeFileSync(join(outDir, `${name}.html`), hidden ? ' hidden' : ' autofocus');
  writeFileSync(join(outDir, `${name}_DRAWING.html`), hidden ? '' : drawing(id));
  if (hidden) {
    kept += `<template data-for="${id}">${drawing(id)}</template>\n`;
  }
}
writeFileSync(join(outDir, 'KEPT_DRAWINGS.html'), kept);

const picker = {
  types: koravel.ccall('koravel_select_picker_types', 'string', [], []),
  accept: koravel.ccall('koravel_select_picker_accept', 'string', [], []),
};
writeFileSync(join(outDir, 'SELECT_PICKER.html'), JSON.stringify(picker).replace(/</g, '\\u003c'));
