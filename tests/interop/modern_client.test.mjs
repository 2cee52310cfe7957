// The v2 MCP TypeScript client (@modelcontextprotocol/client) against the real
// binary in the stateless 2026-07-28 era: pinned to that revision, and in
// 'auto' mode, which probes with server/discover before it picks an era.
// Run by CTest (QS_BINARY, QS_SOURCE_DIR set) or by hand like sdk_client.test.mjs.
import { after, before, describe, test } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';

import { Client } from '@modelcontextprotocol/client';
import { StdioClientTransport } from '@modelcontextprotocol/client/stdio';

import { binary, childEnv, makeWorkspace, toolNames } from './workspace.mjs';

const entry = 'CA35DAB8-DCA0-418A-A388-369CBF54A473';

async function connect(workspace, mode) {
  const env = childEnv(workspace);
  const transport = new StdioClientTransport({ command: binary, args: ['--vault', workspace.vault], env, stderr: 'pipe' });
  const client = new Client({ name: 'quillstack-interop-v2', version: '1.0.0' }, { versionNegotiation: { mode } });
  await client.connect(transport);
  return client;
}

for (const [label, mode] of [['pinned to 2026-07-28', { pin: '2026-07-28' }], ['in auto mode', 'auto']]) {
  describe(`quillstack-mcp through the v2 MCP client ${label}`, () => {
    let workspace;
    let client;
    before(async () => {
      workspace = makeWorkspace();
      client = await connect(workspace, mode);
    });
    after(async () => {
      await client?.close();
      fs.rmSync(workspace.root, { recursive: true, force: true });
    });

    // The tool's payload; fails the test when the call failed.
    async function payload(name, args = {}) {
      const result = await client.callTool({ name, arguments: args });
      assert.equal(result.content.length, 1);
      assert.equal(result.isError, false, `${name}: ${result.content[0].text}`);
      return JSON.parse(result.content[0].text);
    }

    test('server/discover selects the modern era and describes the server', () => {
      assert.equal(client.getProtocolEra(), 'modern');
      assert.equal(client.getNegotiatedProtocolVersion(), '2026-07-28');
      assert.deepEqual(client.getDiscoverResult().supportedVersions, ['2026-07-28']);
      assert.deepEqual(client.getServerVersion(), { name: 'quillstack', version: '0.1.0' });
      assert.deepEqual(client.getServerCapabilities(), { tools: { listChanged: false } });
      assert.match(client.getInstructions(), /^quillstack 是用户的个人记录库/);
    });

    test('lists the eight tools in catalog order', async () => {
      const { tools } = await client.listTools();
      assert.deepEqual(tools.map((t) => t.name), toolNames);
      assert.deepEqual(tools.find((t) => t.name === 'minutes_write').inputSchema.required, ['id', 'markdown']);
    });

    test('drives the six read tools', async () => {
      assert.ok((await payload('vault_search', { query: 'ATLAS', limit: 50 })).returned > 0);
      assert.ok((await payload('recording_list')).recordings.some((r) => r.id === entry && r.has_transcript));
      assert.equal((await payload('recording_transcript', { id: entry, max_chars: 50 })).returned_chars, 50);
      assert.equal((await payload('minutes_read', { id: entry })).date, '2025-03-05');
      assert.equal((await payload('vocab_list')).available, true);
      assert.equal((await payload('report_daily', { date: '2025-02-28' })).date, '2025-02-28');
    });

    test('drives the two write tools on the scratch copy', async () => {
      const minutes = await payload('minutes_write', { id: entry, markdown: '# 新纪要', summary: '一句话' });
      assert.ok(minutes.wrote.every((file) => file.startsWith(workspace.vault + path.sep)));
      assert.equal(fs.readFileSync(minutes.wrote[0], 'utf8'), '# 新纪要');
      assert.equal(minutes.archived.length, 2);
      const diary = await payload('diary_write', { text: '今天的日记', date: '2025-03-10' });
      assert.equal(fs.readFileSync(diary.wrote[0], 'utf8'), '今天的日记');
      assert.ok(diary.wrote[0].startsWith(workspace.vault + path.sep));
    });

    test('a failing tool is a failed result and an unknown tool a protocol error', async () => {
      const missing = await client.callTool({ name: 'minutes_read', arguments: { id: 'NO-SUCH-ENTRY' } });
      assert.equal(missing.isError, true);
      assert.equal(missing.content[0].text, '❌ 找不到条目 NO-SUCH-ENTRY。先用 vault_search 确认 id。');
      await assert.rejects(client.callTool({ name: 'no_such_tool', arguments: {} }),
        (error) => error.code === -32602 && error.message.includes('没有名为 no_such_tool 的工具'));
    });
  });
}
