// Starts the program and wires the window's events to its handlers.
(async () => {
  'use strict';
  const root = document.documentElement;
  const byId = (id) => document.getElementById(id);
  const frm = byId('frmMain');

  // The module boot.js has been compiling since the top of the page.
  const koravel = await createKoravel({
    instantiateWasm(imports, receiveInstance) {
      koravelModule
        .then((module) => WebAssembly.instantiate(module, imports)
          .then((instance) => receiveInstance(instance, module)))
        .catch((e) => console.error(e));
      return {};
    },
  });

  // Where a picked file could not be changed in place, Patch hands over a
  // patched copy as a download: the program's own rule says which.
  byId('saveNote').hidden = koravel.koravelWritesInPlace(null);

  // A command runs to its end before anything else on the page can be used:
  // the window takes no input while a picker, a file operation or a message
  // box is pending, and a second click while busy does nothing.
  let busy = false;
  async function run(command) {
    if (busy) {
      return;
    }
    busy = true;
    root.dataset.state = 'busy';
    const focused = document.activeElement;
    frm.inert = true;
    try {
      await koravel.ccall(command, null, [], [], {async: true});
    } catch (e) {
      console.error(e);
    } finally {
      frm.inert = false;
      if (focused && frm.contains(focused)) {
        focused.focus({preventScroll: true});
      }
      busy = false;
      root.dataset.state = 'ready';
    }
  }

  byId('cmdFlash').addEventListener('click', () => run('koravel_cmdFlash_Click'));
  byId('cmdPatch').addEventListener('click', () => run('koravel_cmdPatch_Click'));
  byId('cboPatch1').addEventListener('change', () => busy || koravel._koravel_cboPatch1_Click());
  byId('cboPatch4').addEventListener('change', () => busy || koravel._koravel_cboPatch4_Click());

  // As a desktop window does when it opens: focus goes to the first control in
  // Tab order that can take it (a hidden picture cannot).
  const first = [...frm.querySelectorAll('[tabindex]')]
                    .filter((control) => !control.hidden && control.tabIndex > 0)
                    .sort((a, b) => a.tabIndex - b.tabIndex)[0];
  if (first) {
    first.classList.add('opening-focus');
    first.addEventListener('blur', () => first.classList.remove('opening-focus'), {once: true});
    first.focus({preventScroll: true});
  }
  root.dataset.state = 'ready';
})();
