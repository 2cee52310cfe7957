// Packs the freshly built binary into an MCP Bundle with the official tool.
// The manifest's name, version and tools come from the binary itself (its
// initialize and tools/list answers on the demo vault), so they cannot drift
// from what a host will see; the rest is manifest.in.json.
//   node packaging/mcpb/pack.mjs <binary> <output folder>
import { execFileSync, spawnSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

const here = path.dirname(fileURLToPath(import.meta.url));
const sourceDir = path.resolve(here, '..', '..');
const mcpb = path.join(here, 'node_modules', '@anthropic-ai', 'mcpb', 'dist', 'cli', 'cli.js');
const [binary, outputDir] = process.argv.slice(2);
if (!binary || !outputDir) {
  console.error('usage: node pack.mjs <binary> <output folder>');
  process.exit(2);
}

// One stdio session: initialize, the initialized notification, tools/list.
// An empty HOME keeps the server off any real iCloud Drive folder.
function askServer() {
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

const { serverInfo, tools } = askServer();
const template = JSON.parse(fs.readFileSync(path.join(here, 'manifest.in.json'), 'utf8'));
const manifest = {
  manifest_version: template.manifest_version,
  name: serverInfo.name,
  version: serverInfo.version,
  ...template,
  tools: tools.map(({ name, description }) => ({ name, description })),
  // The binary runs only on the system it was built for.
  compatibility: { platforms: [process.platform] },
};

const stage = fs.mkdtempSync(path.join(os.tmpdir(), 'qs-bundle-'));
fs.mkdirSync(path.join(stage, 'server'));
const entry = path.join(stage, manifest.server.entry_point);
fs.copyFileSync(binary, entry);
fs.chmodSync(entry, 0o755);
fs.writeFileSync(path.join(stage, 'manifest.json'), JSON.stringify(manifest, null, 2) + '\n');

const name = `quillstack-mcp-${manifest.version}-${process.platform}-${process.arch}.mcpb`;
const output = path.resolve(outputDir, name);
fs.mkdirSync(outputDir, { recursive: true });
fs.rmSync(output, { force: true });
// Run from the staging folder, so the tool's listing shows the bundle's own paths.
const inStage = { cwd: stage, stdio: 'inherit' };
execFileSync(process.execPath, [mcpb, 'validate', 'manifest.json'], inStage);
execFileSync(process.execPath, [mcpb, 'pack', '.', output], inStage);
fs.rmSync(stage, { recursive: true, force: true });
console.log(`bundle: ${path.relative(process.cwd(), output)}`);
