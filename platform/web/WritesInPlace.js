// Whether Patch changes the picked file itself (a handle that can write) or
// hands over a patched copy as a download. With nothing picked yet: whether a
// file picked now would be changed in place, which is what the note under the
// window tells until a file is taken. The picker is used wherever it exists
// (WebOpenFileDialog), and its handles are FileSystemFileHandles; a dropped
// file has one where the browser gives it (getAsFileSystemHandle). One rule in one file, included both
// in the program (before BrowserBridge.js) and in the page's own script, which
// shows the note before the program has started.
function koravelWritesInPlace(picked) {
  if (picked) {
    return !!picked.handle && typeof picked.handle.createWritable === 'function';
  }
  return typeof window.showOpenFilePicker === 'function' &&
      typeof FileSystemFileHandle === 'function' &&
      typeof FileSystemFileHandle.prototype.createWritable === 'function';
}
