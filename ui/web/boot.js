// Starts compiling the program's WebAssembly from the top of the page, so
// that the browser compiles it while it reads the rest; page.js instantiates
// the compiled module. The module is kept as base64 in a block the browser
// does not run (#koravelWasm), which costs the script parser nothing.
window.koravelModule = (() => {
  'use strict';
  const text = document.getElementById('koravelWasm').textContent;
  let bytes;
  if (typeof Uint8Array.fromBase64 === 'function') {
    bytes = Uint8Array.fromBase64(text);
  } else {
    const binary = atob(text);
    bytes = new Uint8Array(binary.length);
    for (let i = 0; i < binary.length; i++) {
      bytes[i] = binary.charCodeAt(i);
    }
  }
  return WebAssembly.compile(bytes);
})();
