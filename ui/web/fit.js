// Fits the window to a finger. Where the primary pointer is coarse (a touch
// screen) or the screen is too narrow to hold the window at twice its size (a
// phone, whatever pointer it reports), the window and the message box are
// drawn larger (--scale, a CSS zoom, so each keeps its layout) by the largest
// factor up to 2 that leaves a small margin on every side of the viewport: a
// phone held sideways shows the whole window, Patch included, without
// scrolling. With a fine pointer on a desktop's screen the factor is 1,
// however small the browser's window, and the page is drawn as it always was.
(() => {
  'use strict';
  const WINDOW_WIDTH = 250;
  const WINDOW_HEIGHT = 281;
  const MARGIN = 4;
  const LARGEST = 2;
  const root = document.documentElement;
  const coarse = matchMedia('(pointer: coarse)');

  function fit() {
    const room = Math.min((root.clientWidth - 2 * MARGIN) / WINDOW_WIDTH,
                          (root.clientHeight - 2 * MARGIN) / WINDOW_HEIGHT);
    const narrowScreen = screen.width < LARGEST * WINDOW_WIDTH + 2 * MARGIN;
    const scale = coarse.matches || narrowScreen ? Math.min(LARGEST, Math.max(1, room)) : 1;
    root.style.setProperty('--scale', String(scale));
    // Each picture offers its drawing at 1x, 1.5x and 2x, picked by the
    // screen's density; drawn larger, a picture covers that many more device
    // pixels, so a drawing suits a screen `scale` times less dense.
    for (const source of document.querySelectorAll('.picture source')) {
      source.dataset.density ??= source.media.match(/([\d.]+)dppx/)[1];
      const media = `(min-resolution: ${Number(source.dataset.density) / scale}dppx)`;
      if (source.media !== media) {
        source.media = media;
      }
    }
  }

  fit();
  // Drawings put in place later (page.js) are fitted when they come.
  window.koravelFit = fit;
  addEventListener('resize', fit);
  coarse.addEventListener('change', fit);
  document.addEventListener('DOMContentLoaded', fit, {once: true});
})();
