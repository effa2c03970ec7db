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

// How long a picked file may take to arrive after the page has the focus back
// from the <input type="file"> picker: browsers may give the focus back before
// they send `change`. Long enough for a busy phone; short enough that the
// window soon comes back after a dismissed picker.
var koravelPickerGrace = 1000;

// Opens the <input type="file"> picker and gives the picked File, or null when
// the picker was dismissed. Browsers that send no `cancel` (Safari before 16.4,
// Chrome before 113) would leave the page waiting for ever: there, the page
// getting the focus back, or a pointer on the page (which a picker open over it
// would take), means the picker has gone, and what it picked, if anything,
// arrives within the grace time.
function koravelPickWithInput(input) {
  return new Promise((resolve) => {
    let timer = 0;
    const settle = () => {
      clearTimeout(timer);
      input.removeEventListener('change', settle);
      input.removeEventListener('cancel', settle);
      window.removeEventListener('focus', dismissed);
      window.removeEventListener('pointerdown', dismissed, true);
      resolve((input.files && input.files[0]) || null);
    };
    const dismissed = () => {
      clearTimeout(timer);
      timer = setTimeout(settle, koravelPickerGrace);
    };
    input.addEventListener('change', settle);
    input.addEventListener('cancel', settle);
    window.addEventListener('focus', dismissed);
    window.addEventListener('pointerdown', dismissed, true);
    input.click();
  });
}

// The WebAssembly is inside the page, which compiles it and hands it to the
// loader (instantiateWasm): the loader must never try to fetch it (the page's
// Content-Security-Policy allows no connection at all).
var fetch = undefined;
