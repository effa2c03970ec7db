// Shared by the page's file, dialog and message box bridges (platform/web).
// Every bridge call that can fail returns a negative error number and leaves
// the description in Module.koravelError.

// The file the user picked last: its name, and the handle (File System Access)
// or the File (<input type="file">) that reaches it.
Module.koravelPicked = null;
Module.koravelError = '';

// What a refusal by the browser means, by what the page was doing: the
// description must tell the user what to do. A browser may not ask again for
// a file whose request to save was denied while the page stays open, and the
// site settings may block a page from editing files: hence the ways out.
var koravelNotAllowed = {
  pick: 'Permission denied: the browser did not let the page show its file picker. Press ' +
      'Select again.',
  read: 'Permission denied: the browser was not allowed to read the file. Select it again.',
  save: 'Permission denied: the browser was not allowed to save changes to the file. Press ' +
      'Patch again to be asked again. If the browser does not ask, reload the page and ' +
      'select the file again; if it still does not ask, allow file editing for this page in ' +
      'the browser\'s site settings (the icon to the left of the address).',
};

// The browser's failures as the program's error numbers. A refusal by the
// browser (the user said no, or no gesture allowed asking) is 70; a file that
// is locked or in use elsewhere is 75, the number Patch reads as "another
// program has it". `doing`: 'pick', 'read' or 'save'.
function koravelFail(e, doing) {
  const name = (e && e.name) || '';
  const message = (e && e.message) || String(e);
  let number = 57;
  let description = 'Device I/O error: ' + message;
  if (name === 'NotAllowedError' || name === 'SecurityError') {
    number = 70;
    description = koravelNotAllowed[doing] || koravelNotAllowed.read;
  } else if (name === 'NoModificationAllowedError' || name === 'InvalidStateError') {
    number = 75;
    description = 'Path/File access error: ' + message;
  } else if (name === 'NotFoundError') {
    number = 53;
    description = 'File not found: ' + message;
  } else if (name === 'QuotaExceededError') {
    number = 61;
    description = 'Disk full: ' + message;
  }
  Module.koravelError = description;
  return -number;
}

// koravelWritesInPlace is in WritesInPlace.js, which comes first.
Module.koravelWritesInPlace = koravelWritesInPlace;

// Permission to save changes is asked once; then a swap copy that starts as
// the file. Returns 0 or a negative error number.
async function koravelBeginWrite(picked) {
  const handle = picked.handle;
  try {
    if (typeof handle.queryPermission === 'function') {
      let state = await handle.queryPermission({mode: 'readwrite'});
      if (state !== 'granted' && typeof handle.requestPermission === 'function') {
        state = await handle.requestPermission({mode: 'readwrite'});
      }
      if (state !== 'granted') {
        // Denied, or the request was dismissed ('prompt').
        Module.koravelError = koravelNotAllowed.save;
        return -70;
      }
    }
    picked.writable = await handle.createWritable({keepExistingData: true});
    return 0;
  } catch (e) {
    return koravelFail(e, 'save');
  }
}

// The WebAssembly is inside the page, which compiles it and hands it to the
// loader (instantiateWasm): the loader must never try to fetch it (the page's
// Content-Security-Policy allows no connection at all).
var fetch = undefined;
