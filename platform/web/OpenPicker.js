// Opens the browser's file picker. A picker may only open in answer to a
// click, so the page opens it in the handler of the click on Select, and the
// program takes it over (Module.koravelEarlyPick); the program opens one
// itself only where it is asked to pick without such a click. Part of the
// page's own script, which runs before the program: the program calls
// koravelOpenPicker as the page's, and carries no copy of its own.

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

// Opens the picker the browser has and gives what was picked, as
// {name, handle, file}, or null when the picker was dismissed; rejects with
// the browser's own error. `typesText` holds one line per filter pair with a
// concrete extension (description, a tab, the extensions separated by
// blanks) for showOpenFilePicker; `accept` is the <input> form, empty when
// every file may be picked. The picker is asked for before anything is
// awaited, while the click that asked for it still counts.
function koravelOpenPicker(typesText, accept) {
  if (typeof window.showOpenFilePicker === 'function') {
    const types = typesText.split('\n').filter((line) => line).map((line) => {
      const [description, extensions] = line.split('\t');
      return {description, accept: {'application/octet-stream': extensions.split(' ')}};
    });
    return window.showOpenFilePicker({types, multiple: false}).then(
        (handles) => ({name: handles[0].name, handle: handles[0], file: null}),
        (e) => {
          if (e && e.name === 'AbortError') {
            return null;
          }
          throw e;
        });
  }
  const input = document.getElementById('filePicker');
  input.accept = accept;
  input.value = '';
  return koravelPickWithInput(input).then((file) => file && {name: file.name, handle: null, file});
}
