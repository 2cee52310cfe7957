// The official MCP TypeScript clients against the real binary: v1
// (@modelcontextprotocol/sdk) in the handshake era, and v2
// (@modelcontextprotocol/client, Node.js 20 or later) in the stateless
// 2026-07-28 era, pinned and in 'auto' mode, which probes with server/discover.
// Each sees the handshake, the titled tool list, one read with its structured
// result, one write and the errors.
// Run by CTest (QS_BINARY, QS_SOURCE_DIR set) or by hand:
//   QS_BINARY=../../build/debug/src/quillstack-mcp QS_SOURCE_DIR=../.. node --test clients.test.mjs
import { after, before, describe, test } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';

const binary = process.env.QS_BINARY;
const sourceDir = process.env.QS_SOURCE_DIR;
assert.ok(binary && sourceDir, 'QS_BINARY and QS_SOURCE_DIR must be set');
// A voice entry of the demo vault with its transcript, minutes and summary.
const entry = 'CA35DAB8-DCA0-418A-A388-369CBF54A473';

const v1 = async () => [(await import('@modelcontextprotocol/sdk/client/index.js')).Client,
  (await import('@modelcontextprotocol/sdk/client/stdio.js')).StdioClientTransport];
const v2 = async () => [(await import('@modelcontextprotocol/client')).Client,
  (await import('@modelcontextprotocol/client/stdio')).StdioClientTransport];
const modernNode = Number(process.versions.node.split('.')[0]) >= 20;
const clients = [
  { label: 'the v1 client', load: v1, options: {}, era: undefined, unknownTool: -32601, unknownResource: -32002 },
  { label: 'the v2 client pinned to 2026-07-28', load: v2, options: { versionNegotiation: { mode: { pin: '2026-07-28' } } },
    era: 'modern', unknownTool: -32602, unknownResource: -32602, skip: !modernNode && 'needs Node.js 20' },
  { label: 'the v2 client in auto mode', load: v2, options: { versionNegotiation: { mode: 'auto' } },
    era: 'modern', unknownTool: -32602, unknownResource: -32602, skip: !modernNode && 'needs Node.js 20' },
];

for (const { label, load, options, era, unknownTool, unknownResource, skip } of clients) {
  describe(`quillstack-mcp through ${label}`, { skip }, () => {
    // A private copy of the demo vault, so the writes never touch the one in
    // the repository, and an empty home so no iCloud Drive folder is found.
    let workspace;
    let client;
    before(async () => {
      const root = fs.mkdtempSync(path.join(os.tmpdir(), 'qs-interop-'));
      workspace = { root, vault: path.join(root, 'vault'), home: path.join(root, 'home') };
      fs.cpSync(path.join(sourceDir, 'examples', 'demo-vault'), workspace.vault, { recursive: true });
      fs.mkdirSync(workspace.home);
      // What a host passes, plus the settings a sanitizer build needs.
      const env = { HOME: workspace.home, LANG: 'C.UTF-8', PATH: process.env.PATH ?? '/usr/bin:/bin' };
      for (const keep of ['ASAN_OPTIONS', 'UBSAN_OPTIONS', 'LSAN_OPTIONS']) if (process.env[keep]) env[keep] = process.env[keep];
      const [Client, Transport] = await load();
      client = new Client({ name: 'quillstack-interop', version: '1.0.0' }, options);
      await client.connect(new Transport({ command: binary, args: ['--vault', workspace.vault], env, stderr: 'ignore' }));
    });
    after(async () => {
      await client?.close();
      if (workspace) fs.rmSync(workspace.root, { recursive: true, force: true });
    });

    test('the handshake or discovery describes the server', () => {
      if (era) assert.equal(client.getNegotiatedProtocolVersion(), '2026-07-28');
      assert.deepEqual(client.getServerVersion(), { name: 'quillstack', version: '0.1.0' });
      const { tools, resources } = client.getServerCapabilities();
      assert.deepEqual({ tools, resources }, { tools: { listChanged: false }, resources: { listChanged: false } });
      assert.match(client.getInstructions(), /^quillstack 是用户的个人记录库/);
    });

    test('lists the tools, reads, writes, and reports failures', async () => {
      const { tools } = await client.listTools();
      // The names and schemas are the catalog's own test's; every mode speaks 2025-06-18 or later.
      assert.ok(tools.length && tools.every((t) => t.title));
      const read = await client.callTool({ name: 'minutes_read', arguments: { id: entry } });
      assert.equal(JSON.parse(read.content[0].text).date, '2025-03-05');
      assert.deepEqual(read.structuredContent, JSON.parse(read.content[0].text));
      const wrote = await client.callTool({ name: 'diary_write', arguments: { text: '今天的日记', date: '2025-03-10' } });
      const [memo] = JSON.parse(wrote.content[0].text).wrote;
      assert.ok(memo.startsWith(workspace.vault));
      assert.equal(fs.readFileSync(memo, 'utf8'), '今天的日记');
      const found = await client.callTool({ name: 'fulltext_search', arguments: { query: '"今天的日记"' } });
      assert.deepEqual(found.structuredContent.hits.map((h) => [h.id, h.field]), [[JSON.parse(wrote.content[0].text).id, 'pending']]);
      const missing = await client.callTool({ name: 'minutes_read', arguments: { id: 'NO-SUCH-ENTRY' } });
      assert.ok(missing.isError && !('structuredContent' in missing));
      await assert.rejects(client.callTool({ name: 'no_such_tool', arguments: {} }), (error) => error.code === unknownTool);
    });

    test('lists, templates and reads the vault as resources', async () => {
      const { resources } = await client.listResources();
      assert.ok(resources.some((r) => r.uri === 'quillstack://report/2025-03-05' && r.mimeType === 'text/markdown'));
      const { resourceTemplates } = await client.listResourceTemplates();
      assert.equal(resourceTemplates[0].uriTemplate, 'quillstack://report/{date}');
      const { contents: [minutes] } = await client.readResource({ uri: `quillstack://minutes/${entry}` });
      assert.equal(minutes.text, fs.readFileSync(path.join(workspace.vault, `memories/timeline/insights/2025-03-05/${entry}.min.md`), 'utf8'));
      await assert.rejects(client.readResource({ uri: 'quillstack://report/1999-01-01' }), (error) => error.code === unknownResource);
    });
  });
}
