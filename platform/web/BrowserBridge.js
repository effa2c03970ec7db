// Shared by the page's file, dialog and message box bridges (platform/web).
// Every bridge call that can fail returns a negative error number and leaves
// the description in Module.koravelError.

// The file the user picked last: its name, and the handle (File System Access)
// or the File (<input type="file">) that reaches it.
Module.koravelPicked = null;
Module.koravelError = '';

// The browser's failures as the program's error numbers: refusals by the
// browser or the system are access errors (75).
function koravelFail(e) {
  const name = (e && e.name) || '';
  let number = 57;
  let what = 'Device I/O error';
  if (['NotAllowedError', 'NoModificationAllowedError', 'InvalidStateError',
       'SecurityError'].includes(name)) {
    number = 75;
    what = 'Path/File access error';
  } else if (name === 'NotFoundError') {
    number = 53;
    what = 'File not found';
  } else if (name === 'QuotaExceededError') {
    number = 61;
    what = 'Disk full';
  }
  Module.koravelError = what + ': ' + ((e && e.message) || String(e));
  return -number;
}

// The WebAssembly is inside the page, which compiles it and hands it to the
// loader (instantiateWasm): the loader must never try to fetch it (the page's
// Content-Security-Policy allows no connection at all).
var fetch = undefined;
