// The window's geometry as the desktop windows have it, and as a page draws it.

// left, top, width, height at 96 dpi, relative to the window's client area.
export const GEOMETRY = {
    cboPatch4: [128, 168, 113, 21],
    cboPatch3: [8, 216, 233, 21],
    cboPatch2: [8, 192, 233, 21],
    cmdPatch: [8, 248, 233, 25],
    cboPatch1: [8, 168, 113, 21],
    cmdFlash: [200, 136, 41, 21],
    txtFlash: [8, 136, 185, 21],
    picPatchBlack: [48, 8, 154, 120],
    picPatchRed: [48, 8, 154, 120],
    picPatchBlue: [48, 8, 154, 120],
};

// The window's client area, its centre against the viewport's, and each
// control's box relative to the client area, in CSS pixels.
export function measureWindow(page) {
    return page.evaluate((ids) => {
        const window = document.getElementById('frmMain');
        const frame = window.getBoundingClientRect();
        const originX = frame.left + window.clientLeft;
        const originY = frame.top + window.clientTop;
        const boxes = {};
        for (const id of ids) {
            const e = document.getElementById(id);
            const wasHidden = e.hidden;
            e.hidden = false; // hidden pictures have no box; measure each in turn
            const r = e.getBoundingClientRect();
            e.hidden = wasHidden;
            boxes[id] = [r.left - originX, r.top - originY, r.width, r.height];
        }
        return {
            client: [window.clientWidth, window.clientHeight],
            frame: [frame.left, frame.top, frame.width, frame.height],
            centre: [frame.left + frame.width / 2, frame.top + frame.height / 2],
            viewport: [document.documentElement.clientWidth / 2, document.documentElement.clientHeight / 2],
            boxes,
        };
    }, Object.keys(GEOMETRY));
}
