// Builds each view into one self-contained HTML file in dist/ (script and
// style inlined, nothing loaded from the network), which the C++ build embeds.
// `node build.mjs --check` builds in memory and fails when dist/ differs.
import { build } from 'esbuild';
import fs from 'node:fs';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

const here = path.dirname(fileURLToPath(import.meta.url));
export const views = { day: '一天', meeting: '会议', vocabulary: '词库' };
const kMaxBytes = 300 * 1024;  // what a host should have to hold per view

// The SDK's packages declare no side effects, so what a view never calls is
// left out; zod's translated messages and its JSON Schema reader (never used
// by a view) are cut as well, which keeps each view under its size.
const trim = {
  name: 'trim',
  setup(b) {
    b.onResolve({ filter: /.*/ }, async (args) => {
      if (args.pluginData === 'trim' || !(args.importer.includes('node_modules') || /^[^./]/.test(args.path))) return undefined;
      const found = await b.resolve(args.path, { resolveDir: args.resolveDir, kind: args.kind, importer: args.importer, pluginData: 'trim' });
      return { ...found, sideEffects: false };
    });
    b.onLoad({ filter: /zod[\\/]v4[\\/]locales[\\/]index\.js$/ }, (args) => ({ contents: 'export { default as en } from "./en.js";', resolveDir: path.dirname(args.path) }));
    b.onLoad({ filter: /zod[\\/]v4[\\/]classic[\\/]from-json-schema\.js$/ }, () => ({ contents: 'export function fromJSONSchema() { throw new Error("not in a view"); }' }));
  },
};

async function bundle(name) {
  const result = await build({
    entryPoints: [path.join(here, 'src', `${name}.js`)], bundle: true, minify: true, write: false,
    format: 'iife', target: 'es2020', platform: 'browser', legalComments: 'none', charset: 'utf8',
    outdir: 'out', loader: { '.css': 'css' }, plugins: [trim],
  });
  const text = (ext) => result.outputFiles.find((f) => f.path.endsWith(ext))?.text ?? '';
  // A script may not hold its own end tag.
  const script = text('.js').replace(/<\/script/gi, '<\\/script');
  return `<!doctype html><html lang="zh"><head><meta charset="utf-8"><meta name="viewport" content="width=device-width,initial-scale=1">` +
    `<title>quillstack · ${views[name]}</title><style>${text('.css')}</style></head><body><main id="app"></main>` +
    `<script>${script}</script></body></html>\n`;
}

const check = process.argv.includes('--check');
let stale = false;
for (const name of Object.keys(views)) {
  const html = await bundle(name);
  const size = Buffer.byteLength(html);
  if (size > kMaxBytes) throw new Error(`${name}.html is ${size} bytes, above ${kMaxBytes}`);
  const target = path.join(here, 'dist', `${name}.html`);
  if (check) {
    const same = fs.existsSync(target) && fs.readFileSync(target, 'utf8') === html;
    if (!same) console.error(`views: dist/${name}.html differs from its sources; run npm run build in views/`);
    stale ||= !same;
  } else {
    fs.mkdirSync(path.dirname(target), { recursive: true });
    fs.writeFileSync(target, html);
    console.log(`views: dist/${name}.html ${size} bytes`);
  }
}
process.exit(stale ? 1 : 0);
