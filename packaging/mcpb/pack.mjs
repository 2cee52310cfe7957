// Packs the freshly built binary into an MCP Bundle with the official tool.
// The manifest's name, version and tools come from the binary itself (its
// initialize and tools/list answers on the demo vault), so they cannot drift
// from what a host will see; the rest is manifest.in.json.
//   node packaging/mcpb/pack.mjs <binary> <output folder>
//        [--platform darwin --arch universal] [--tools-from <binary>]
// --platform and --arch name a bundle built for another system (the darwin
// bundle's universal binary); --tools-from asks another build of the same
// sources, one that runs here, when the packed binary cannot (a dry run of the
// darwin packing on Linux).
import { execFileSync, spawnSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { parseArgs } from 'node:util';

const here = path.dirname(fileURLToPath(import.meta.url));
const sourceDir = path.resolve(here, '..', '..');
const mcpb = path.join(here, 'node_modules', '@anthropic-ai', 'mcpb', 'dist', 'cli', 'cli.js');
const { values: options, positionals } = parseArgs({
  allowPositionals: true,
  options: { platform: { type: 'string' }, arch: { type: 'string' }, 'tools-from': { type: 'string' } },
});
const [binary, outputDir] = positionals;
if (!binary || !outputDir || positionals.length > 2) {
  console.error('usage: node pack.mjs <binary> <output folder> [--platform P --arch A] [--tools-from <binary>]');
  process.exit(2);
}
const platform = options.platform ?? process.platform;
const arch = options.arch ?? process.arch;

// One stdio session: initialize, the initialized notification, tools/list.
// 2025-06-18 is the first revision whose tools carry a title.
// An empty HOME keeps the server off any real iCloud Drive folder.
function askServer(binary) {
  const home = fs.mkdtempSync(path.join(os.tmpdir(), 'qs-pack-'));
  const lines = [
    { jsonrpc: '2.0', id: 1, method: 'initialize',
      params: { protocolVersion: '2025-06-18', capabilities: {}, clientInfo: { name: 'pack', version: '1' } } },
    { jsonrpc: '2.0', method: 'notifications/initialized' },
    { jsonrpc: '2.0', id: 2, method: 'tools/list' },
  ].map((m) => JSON.stringify(m) + '\n').join('');
  const run = spawnSync(binary, ['--vault', path.join(sourceDir, 'examples', 'demo-vault')],
    { input: lines, env: { HOME: home, PATH: process.env.PATH, LANG: 'C.UTF-8' }, encoding: 'utf8' });
  fs.rmSync(home, { recursive: true, force: true });
  if (run.status !== 0) throw new Error(`${binary} exited ${run.status}: ${run.stderr}`);
  const replies = new Map(run.stdout.trim().split('\n').map((l) => JSON.parse(l)).map((r) => [r.id, r]));
  const init = replies.get(1)?.result;
  const tools = replies.get(2)?.result?.tools;
  if (!init || !tools) throw new Error(`unexpected answers: ${run.stdout}`);
  return { serverInfo: init.serverInfo, tools };
}

// The manifest's tool entries are closed objects: a title goes in only when
// the pinned tool's schema for this manifest version has a place for it.
function manifestToolKeys(version) {
  const schema = path.join(path.dirname(mcpb), '..', `mcpb-manifest-v${version}.schema.json`);
  return Object.keys(JSON.parse(fs.readFileSync(schema, 'utf8')).properties.tools.items.properties);
}

const { serverInfo, tools } = askServer(options['tools-from'] ?? binary);
const template = JSON.parse(fs.readFileSync(path.join(here, 'manifest.in.json'), 'utf8'));
const toolKeys = ['name', 'title', 'description'].filter((k) => manifestToolKeys(template.manifest_version).includes(k));
const manifest = {
  manifest_version: template.manifest_version,
  name: serverInfo.name,
  version: serverInfo.version,
  ...template,
  tools: tools.map((tool) => Object.fromEntries(toolKeys.filter((k) => k in tool).map((k) => [k, tool[k]]))),
  // The binary runs only on the system it was built for.
  compatibility: { platforms: [platform] },
};

const stage = fs.mkdtempSync(path.join(os.tmpdir(), 'qs-bundle-'));
fs.mkdirSync(path.join(stage, 'server'));
const entry = path.join(stage, manifest.server.entry_point);
fs.copyFileSync(binary, entry);
fs.chmodSync(entry, 0o755);
fs.writeFileSync(path.join(stage, 'manifest.json'), JSON.stringify(manifest, null, 2) + '\n');

const name = `quillstack-mcp-${manifest.version}-${platform}-${arch}.mcpb`;
const output = path.resolve(outputDir, name);
fs.mkdirSync(outputDir, { recursive: true });
fs.rmSync(output, { force: true });
// Run from the staging folder, so the tool's listing shows the bundle's own paths.
const inStage = { cwd: stage, stdio: 'inherit' };
execFileSync(process.execPath, [mcpb, 'validate', 'manifest.json'], inStage);
execFileSync(process.execPath, [mcpb, 'pack', '.', output], inStage);
fs.rmSync(stage, { recursive: true, force: true });
console.log(`bundle: ${path.relative(process.cwd(), output)}`);
