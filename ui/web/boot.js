// Starts the program: unpacks its WebAssembly (kept deflated, as base64, in a
// block the browser does not run, #koravelWasm) and compiles it, runs its
// loader script (kept in #koravelProgram, so that the browser reads it only
// now) and instantiates the compiled module. The page calls this once the
// window is on screen, or at the first command. Resolves to the program, or
// rejects with what kept it from starting.
function koravelBoot() {
  'use strict';
  const byId = (id) => document.getElementById(id);

  const decodeBase64 = (text) => {
    if (typeof Uint8Array.fromBase64 === 'function') {
      return Uint8Array.fromBase64(text);
    }
    const binary = atob(text);
    const bytes = new Uint8Array(binary.length);
    for (let i = 0; i < binary.length; i++) {
      bytes[i] = binary.charCodeAt(i);
    }
    return bytes;
  };
  const unpack = async (packed) => {
    if (typeof DecompressionStream !== 'function') {
      return koravelInflate(packed);
    }
    const stream = new Blob([packed]).stream().pipeThrough(new DecompressionStream('deflate'));
    return new Uint8Array(await new Response(stream).arrayBuffer());
  };

  return new Promise((resolve, reject) => {
    // Compiling runs on the browser's other threads while the loader is read.
    const compiled = Promise.resolve()
                         .then(() => unpack(decodeBase64(byId('koravelWasm').textContent)))
                         .then((bytes) => WebAssembly.compile(bytes));
    compiled.catch(reject);
    const loader = document.createElement('script');
    loader.text = byId('koravelProgram').textContent;
    document.head.append(loader);
    if (typeof createKoravel !== 'function') {
      throw new Error('the browser did not run the program\'s loader');
    }
    createKoravel({
      instantiateWasm(imports, receiveInstance) {
        compiled.then((module) => WebAssembly.instantiate(module, imports)
                                      .then((instance) => receiveInstance(instance, module)))
            .catch(reject);
        return {};
      },
    }).then(resolve, reject);
  });
}
