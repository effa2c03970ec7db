// Wires the window to the program. This script comes before the window, and
// takes the controls' events at the document, so that every control answers
// from the moment it is drawn, however slowly the rest of the page arrives.
// The window comes drawn as Form_Load leaves it; koravelWindowDrawn, right
// after its markup, marks it ready. The program starts once the whole page
// has arrived and the window is on screen (boot.js); what the user does
// before that waits for it, in the order it was done.
(() => {
  'use strict';
  const root = document.documentElement;
  const byId = (id) => document.getElementById(id);

  // The whole page has been read, the program's blocks with it.
  const arrived = new Promise((resolve) => {
    if (document.readyState === 'loading') {
      document.addEventListener('DOMContentLoaded', resolve, {once: true});
    } else {
      resolve();
    }
  });

  // The hidden pictures' drawings come after the window, in templates; each
  // is put in its box (and fitted to the screen) as the program starts, ready
  // for when its picture is shown.
  const placeDrawings = () => {
    const kept = document.querySelectorAll('template[data-for]');
    kept.forEach((drawing) => byId(drawing.dataset.for).append(drawing.content));
    kept.forEach((drawing) => drawing.remove());
    if (kept.length > 0) {
      koravelFit();
    }
  };

  // The list handlers of choices made while the program could not start, in
  // the order they were first made: run once a start succeeds, before
  // anything else, so that the program then holds what the lists show.
  const missed = new Set();
  const callHandler = (koravel, handler) => {
    try {
      koravel[handler]();
    } catch (e) {
      console.error(e);
    }
  };

  // The program's start, once asked for. A start that failed is tried again
  // at the next command.
  let started = null;
  const program = () => {
    if (!started) {
      started = arrived.then(() => {
        placeDrawings();
        return koravelBoot(koravelUnpack());
      }).then((koravel) => {
        missed.forEach((handler) => callHandler(koravel, handler));
        missed.clear();
        return koravel;
      });
      started.catch((e) => {
        console.error(e);
        started = null;
      });
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
  // the window takes no input while the program starts, or a picker, a file
  // operation or a message box is pending, and a second click or a drop while
  // busy does nothing. `pick`: a picker the page opened for the command, or
  // the file it took from a drop. A drop may come before the window is drawn.
  let busy = false;
  async function run(command, pick) {
    busy = true;
    root.dataset.state = 'busy';
    const frm = byId('frmMain') || {};
    const focused = document.activeElement;
    frm.inert = true;
    let koravel = null;
    try {
      koravel = await startOrExplain();
      if (koravel) {
        koravel.koravelEarlyPick = pick;
        await koravel.ccall(command, null, [], [], {async: true});
      }
    } catch (e) {
      console.error(e);
    } finally {
      if (koravel) {
        koravel.koravelEarlyPick = null;
        showSaveNote(koravel.koravelPicked);
      }
      frm.inert = false;
      if (focused && frm.contains?.(focused)) {
        focused.focus({preventScroll: true});
      }
      busy = false;
      root.dataset.state = 'ready';
    }
  }

  // A picker opens only in the click that asks for it: the page opens it
  // itself, in the click's own handler, as strict browsers demand (the
  // program may not have arrived yet, or may answer only after the click's
  // handler has returned), and the program reads what was picked once it
  // runs. Where no program can run, no picker is opened only to be told so
  // after.
  const select = () => {
    let pick = null;
    if (typeof WebAssembly === 'object') {
      try {
        pick = koravelOpenPicker(koravelSelectPicker.types, koravelSelectPicker.accept);
      } catch (e) {
        pick = Promise.reject(e);
      }
      pick.catch(() => {}); // the program is told
    }
    return run('koravel_cmdFlash_Click', pick);
  };
  const commands = {
    cmdFlash: select,
    cmdPatch: () => run('koravel_cmdPatch_Click', null),
  };
  document.addEventListener('click', (event) => {
    const command = commands[event.target.id];
    if (command && !busy) {
      command();
    }
  });

  // A file dropped anywhere on the page is taken as Select takes a picked one.
  // The browser never handles a drag itself: it would open, download or
  // navigate to a dropped file and leave the page. While something is dragged
  // over, the cursor says whether a drop would be taken: one file, not
  // several, nor text or a link. Whether that one file is a folder shows only
  // at the drop, which then does nothing.
  const oneFile = (transfer) => {
    const files = [...((transfer && transfer.items) || [])].filter((item) => item.kind === 'file');
    return files.length === 1 ? files[0] : null;
  };
  const offer = (event) => {
    event.preventDefault();
    if (event.dataTransfer) {
      event.dataTransfer.dropEffect = !busy && oneFile(event.dataTransfer) ? 'copy' : 'none';
    }
  };
  document.addEventListener('dragenter', offer);
  document.addEventListener('dragover', offer);
  document.addEventListener('drop', (event) => {
    event.preventDefault();
    const item = oneFile(event.dataTransfer);
    const entry = item && item.webkitGetAsEntry && item.webkitGetAsEntry();
    // The item can be read only while the event runs: its File, and where the
    // browser has it a handle that can write the file in place, asked for now.
    const file = item && !(entry && entry.isDirectory) && item.getAsFile();
    if (busy || !file) {
      return;
    }
    let handle = null;
    try {
      handle = item.getAsFileSystemHandle ? item.getAsFileSystemHandle() : null;
    } catch (e) {
      console.error(e);
    }
    const dropped = Promise.resolve(handle).catch(() => null).then((got) => ({
      name: file.name,
      handle: got && got.kind === 'file' ? got : null,
      file,
    }));
    run('koravel_Form_OLEDragDrop', dropped);
  });

  // Where Patch would hand over a patched copy as a download, the note under
  // the window says so: for the file in hand, or one picked now (the
  // program's own rule, koravelWritesInPlace).
  const showSaveNote = (picked) => {
    byId('saveNote').hidden = koravelWritesInPlace(picked || null);
  };

  // A choice in the region or swirl list updates the preview; one made before
  // the program has started does once it has, before any command given after
  // it. A program that could not start says so at the next command, and a
  // choice made meanwhile takes effect at the start that succeeds.
  const listHandlers = {
    cboPatch1: '_koravel_cboPatch1_Click',
    cboPatch4: '_koravel_cboPatch4_Click',
  };
  document.addEventListener('change', (event) => {
    const handler = listHandlers[event.target.id];
    if (handler && !busy) {
      program().then((koravel) => callHandler(koravel, handler), () => missed.add(handler));
    }
  });

  // Called right after the window's markup: the window is drawn and answers.
  // As a desktop window does when it opens, the first control in Tab order
  // has the focus: the page marks it autofocus (the picture shown), which the
  // browser focuses as it first draws the window. The program starts once
  // the rest of the page is read (which unpacks it) and the window has been
  // drawn (at once in a tab that is not shown, which draws nothing).
  window.koravelWindowDrawn = () => {
    showSaveNote(null);
    const opening = document.querySelector('[autofocus]');
    opening?.addEventListener('blur', () => opening.removeAttribute('autofocus'), {once: true});
    if (!busy) {
      root.dataset.state = 'ready';
    }
    const afterFirstFrame = (then) => (document.hidden ? then() : requestAnimationFrame(then));
    afterFirstFrame(() => {
      // A browser that focuses only form controls by themselves.
      if (opening && document.activeElement === document.body) {
        opening.focus({preventScroll: true});
      }
    });
    arrived.then(() => afterFirstFrame(() => setTimeout(program)));
  };
})();
