// The official MCP TypeScript clients against the real binary: v1
// (@modelcontextprotocol/sdk) in the handshake era, and v2
// (@modelcontextprotocol/client, Node.js 20 or later) in the stateless
// 2026-07-28 era, pinned and in 'auto' mode, which probes with server/discover.
// Each sees the handshake, the tool list, one read, one write and the errors.
// Run by CTest (QS_BINARY, QS_SOURCE_DIR set) or by hand:
//   QS_BINARY=../../build/debug/src/quillstack-mcp QS_SOURCE_DIR=../.. node --test clients.test.mjs
import { after, before, describe, test } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';

import { binary, childEnv, entry, makeWorkspace, toolNames } from './workspace.mjs';

const v1 = async () => [(await import('@modelcontextprotocol/sdk/client/index.js')).Client,
  (await import('@modelcontextprotocol/sdk/client/stdio.js')).StdioClientTransport];
const v2 = async () => [(await import('@modelcontextprotocol/client')).Client,
  (await import('@modelcontextprotocol/client/stdio')).StdioClientTransport];
const modernNode = Number(process.versions.node.split('.')[0]) >= 20;
const clients = [
  { label: 'the v1 client', load: v1, options: {}, era: undefined, unknownTool: -32601 },
  { label: 'the v2 client pinned to 2026-07-28', load: v2, options: { versionNegotiation: { mode: { pin: '2026-07-28' } } },
    era: 'modern', unknownTool: -32602, skip: !modernNode && 'needs Node.js 20' },
  { label: 'the v2 client in auto mode', load: v2, options: { versionNegotiation: { mode: 'auto' } },
    era: 'modern', unknownTool: -32602, skip: !modernNode && 'needs Node.js 20' },
];

for (const { label, load, options, era, unknownTool, skip } of clients) {
  describe(`quillstack-mcp through ${label}`, { skip }, () => {
    let workspace;
    let client;
    before(async () => {
      workspace = makeWorkspace();
      const [Client, Transport] = await load();
      client = new Client({ name: 'quillstack-interop', version: '1.0.0' }, options);
      await client.connect(new Transport({ command: binary, args: ['--vault', workspace.vault], env: childEnv(workspace), stderr: 'ignore' }));
    });
    after(async () => {
      await client?.close();
      fs.rmSync(workspace.root, { recursive: true, force: true });
    });

    test('the handshake or discovery describes the server', () => {
      if (era) assert.equal(client.getNegotiatedProtocolVersion(), '2026-07-28');
      assert.deepEqual(client.getServerVersion(), { name: 'quillstack', version: '0.1.0' });
      assert.deepEqual(client.getServerCapabilities(), { tools: { listChanged: false } });
      assert.match(client.getInstructions(), /^quillstack 是用户的个人记录库/);
    });

    test('lists the tools, reads, writes, and reports failures', async () => {
      const { tools } = await client.listTools();
      assert.deepEqual(tools.map((t) => t.name), toolNames);
      assert.deepEqual(tools.find((t) => t.name === 'minutes_write').inputSchema.required, ['id', 'markdown']);
      const read = await client.callTool({ name: 'minutes_read', arguments: { id: entry } });
      assert.equal(JSON.parse(read.content[0].text).date, '2025-03-05');
      const wrote = await client.callTool({ name: 'diary_write', arguments: { text: '今天的日记', date: '2025-03-10' } });
      const [memo] = JSON.parse(wrote.content[0].text).wrote;
      assert.ok(memo.startsWith(workspace.vault));
      assert.equal(fs.readFileSync(memo, 'utf8'), '今天的日记');
      const missing = await client.callTool({ name: 'minutes_read', arguments: { id: 'NO-SUCH-ENTRY' } });
      assert.equal(missing.isError, true);
      await assert.rejects(client.callTool({ name: 'no_such_tool', arguments: {} }), (error) => error.code === unknownTool);
    });
  });
}
