// Starts the program in two steps. koravelUnpack unpacks its WebAssembly
// (kept deflated, as base64, in a block the browser does not run,
// #koravelWasm) and has the browser compile it on its other threads.
// koravelBoot then runs the program's loader and instantiates the compiled
// module. The page unpacks as soon as it has read the block, after the
// window is ready, and boots once the whole page has arrived and the window
// is on screen. koravelBoot resolves to the program, or rejects with what
// kept it from starting.

// Runs a script the page keeps in a block of its own (type text/plain), so
// that the browser reads it only when it is needed.
function koravelRunKept(id) {
  'use strict';
  const script = document.createElement('script');
  script.text = document.getElementById(id).textContent;
  document.head.append(script);
}

// The compiled module, once asked for. A failure to unpack is told when the
// program is asked to start, and the next start unpacks again.
let koravelCompiled = null;

function koravelUnpack() {
  'use strict';
  if (koravelCompiled) {
    return koravelCompiled;
  }
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
      koravelRunKept('koravelInflate');
      return koravelInflate(packed);
    }
    // Fed straight from memory; a damaged stream fails the reading side.
    const inflater = new DecompressionStream('deflate');
    const writer = inflater.writable.getWriter();
    writer.write(packed).catch(() => {});
    writer.close().catch(() => {});
    return new Uint8Array(await new Response(inflater.readable).arrayBuffer());
  };
  koravelCompiled =
      Promise.resolve()
          .then(() => unpack(decodeBase64(document.getElementById('koravelWasm').textContent)))
          .then((bytes) => WebAssembly.compile(bytes));
  const compiled = koravelCompiled;
  compiled.catch(() => {
    if (koravelCompiled === compiled) {
      koravelCompiled = null;
    }
  });
  return compiled;
}

function koravelBoot(compiled) {
  'use strict';
  return new Promise((resolve, reject) => {
    compiled.catch(reject);
    koravelRunKept('koravelProgram');
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
