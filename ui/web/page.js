// Wires the window's events to the program's handlers. The window arrives
// drawn as Form_Load leaves it, so it is ready at once; the program starts
// once the window is on screen (boot.js), and a command given before that
// waits for it.
(() => {
  'use strict';
  const root = document.documentElement;
  const byId = (id) => document.getElementById(id);
  const frm = byId('frmMain');

  // Where a picked file could not be changed in place, Patch hands over a
  // patched copy as a download: the program's own rule says which.
  byId('saveNote').hidden = koravelWritesInPlace(null);

  // The hidden pictures' drawings come in templates, read only once the
  // window is on screen; then each is put in place (and fitted to the
  // screen), ready for when its picture is shown.
  const placeDrawings = () => {
    const kept = frm.querySelectorAll('.picture > template');
    kept.forEach((drawing) => drawing.replaceWith(drawing.content));
    if (kept.length > 0) {
      koravelFit();
    }
  };

  let started = null;
  const program = () => {
    if (!started) {
      placeDrawings();
      started = koravelBoot(koravelUnpack());
      started.catch((e) => console.error(e));
    }
    return started;
  };

  // A program that cannot start here says so when asked to do something,
  // in the window's own message box, and nothing is read or changed.
  async function startOrExplain() {
    try {
      return await program();
    } catch (e) {
      byId('msgTitle').textContent = 'Error';
      byId('msgIcon').dataset.style = 'critical';
      byId('msgPrompt').textContent =
          'Koravel could not start in this browser, so it cannot read or patch any file here. ' +
          'Nothing was read or changed.\r\n\r\n' + ((e && e.message) || String(e));
      const box = byId('msgBox');
      await new Promise((resolve) => {
        box.addEventListener('close', resolve, {once: true});
        box.showModal();
        byId('msgOk').focus();
      });
      return null;
    }
  }

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
      const koravel = await startOrExplain();
      if (koravel) {
        await koravel.ccall(command, null, [], [], {async: true});
      }
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
  // A choice in a list updates the preview; one made before the program has
  // started does once it has, before any command given after it.
  const click = (handler) => () => {
    if (!busy) {
      program().then((koravel) => koravel[handler](), () => {});
    }
  };

  byId('cmdFlash').addEventListener('click', () => run('koravel_cmdFlash_Click'));
  byId('cmdPatch').addEventListener('click', () => run('koravel_cmdPatch_Click'));
  byId('cboPatch1').addEventListener('change', click('_koravel_cboPatch1_Click'));
  byId('cboPatch4').addEventListener('change', click('_koravel_cboPatch4_Click'));

  // As a desktop window does when it opens, the first control in Tab order
  // has the focus: the page marks it autofocus (the picture shown), which the
  // browser focuses as it first draws the window.
  const opening = document.querySelector('[autofocus]');
  opening?.addEventListener('blur', () => opening.removeAttribute('autofocus'), {once: true});
  root.dataset.state = 'ready';

  // The program starts once the rest of the page is read (which unpacks it)
  // and the window has been drawn (at once in a tab that is not shown, which
  // draws nothing).
  const start = () => {
    const later = () => {
      // A browser that focuses only form controls by themselves.
      if (opening && document.activeElement === document.body) {
        opening.focus({preventScroll: true});
      }
      setTimeout(program);
    };
    if (document.hidden) {
      later();
    } else {
      requestAnimationFrame(later);
    }
  };
  if (document.readyState === 'loading') {
    document.addEventListener('DOMContentLoaded', start, {once: true});
  } else {
    start();
  }
})();
