// The MCP Bundle as a desktop host uses it: unpacked with the official tool,
// mcp_config resolved with the vault folder's default under a scratch HOME,
// started through the SDK client with only HOME, PATH and USER.
// Run by CTest with QS_SOURCE_DIR and QS_VERSION; exits 77 (skipped) when
// `make bundle` has not been run. QS_BUNDLE names another bundle (the darwin
// one, by scripts/test-bundle.sh).
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';

import { Client } from '@modelcontextprotocol/sdk/client/index.js';
import { StdioClientTransport } from '@modelcontextprotocol/sdk/client/stdio.js';

const { QS_SOURCE_DIR: sourceDir, QS_VERSION: version, PATH = '/usr/bin:/bin', USER = 'user' } = process.env;
const bundle = process.env.QS_BUNDLE ?? `${sourceDir}/build/release/quillstack-mcp-${version}-${process.platform}-${process.arch}.mcpb`;
const mcpb = `${sourceDir}/packaging/mcpb/node_modules/@anthropic-ai/mcpb/dist/cli/cli.js`;
if (![bundle, mcpb].every(fs.existsSync)) {
  console.log(`skipped: ${bundle} or the mcpb tool is missing; \`make bundle\` builds both`);
  process.exit(77);
}

test('the unpacked bundle serves its manifest tools on the vault folder a host passes', async (t) => {
  const root = fs.mkdtempSync(`${os.tmpdir()}/qs-bundle-test-`), dir = `${root}/unpacked`, HOME = `${root}/home`;
  t.after(() => fs.rmSync(root, { recursive: true, force: true }));
  execFileSync(process.execPath, [mcpb, 'unpack', bundle, dir], { stdio: 'ignore' });
  const manifest = JSON.parse(fs.readFileSync(`${dir}/manifest.json`, 'utf8'));
  // The user keeps the offered default; the demo vault's copy sits there.
  const vault = manifest.user_config.vault.default.replaceAll('${HOME}', HOME);
  fs.cpSync(`${sourceDir}/examples/demo-vault`, vault, { recursive: true });
  const resolve = (text) => text.replaceAll('${__dirname}', dir).replaceAll('${user_config.vault}', vault);
  const { command, args } = manifest.server.mcp_config;
  const client = new Client({ name: 'quillstack-bundle-test', version: '1.0.0' });
  await client.connect(new StdioClientTransport({ command: resolve(command), args: args.map(resolve), env: { HOME, PATH, USER } }));
  try {
    assert.equal(manifest.version, client.getServerVersion().version);
    const { tools } = await client.listTools();
    assert.deepEqual(manifest.tools, tools.map(({ name, description }) => ({ name, description })));
    const wrote = await client.callTool({ name: 'diary_write', arguments: { text: '装好了 bundle', date: '2025-03-10' } });
    const [memo] = JSON.parse(wrote.content[0].text).wrote;
    assert.ok(memo.startsWith(vault + path.sep), memo);
  } finally {
    await client.close();
  }
});
