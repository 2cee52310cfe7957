// The official MCP TypeScript SDK client against the real quillstack-mcp binary.
// Run by CTest (QS_BINARY, QS_SOURCE_DIR set) or by hand:
//   QS_BINARY=../../build/debug/src/quillstack-mcp QS_SOURCE_DIR=../.. node --test sdk_client.test.mjs
import { after, before, describe, test } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';

import { Client } from '@modelcontextprotocol/sdk/client/index.js';
import { StdioClientTransport } from '@modelcontextprotocol/sdk/client/stdio.js';

import { binary, childEnv, makeWorkspace, sourceDir, toolNames } from './workspace.mjs';


// Starts the binary through the SDK's stdio transport and completes the
// handshake (initialize, then the initialized notification).
async function startServer(workspace) {
  const env = childEnv(workspace);
  const transport = new StdioClientTransport({
    command: binary,
    args: ['--vault', workspace.vault],
    env,
    stderr: 'pipe',
  });
  let log = '';
  transport.stderr.on('data', (chunk) => { log += chunk.toString('utf8'); });
  const client = new Client({ name: 'quillstack-interop', version: '1.0.0' });
  await client.connect(transport);
  return { client, log: () => log };
}

// The single text item of a tool result, and its payload when it succeeded.
async function callTool(client, name, args = {}) {
  const result = await client.callTool({ name, arguments: args });
  assert.equal(result.content.length, 1);
  assert.equal(result.content[0].type, 'text');
  const text = result.content[0].text;
  return { isError: result.isError, text, payload: result.isError ? undefined : JSON.parse(text) };
}

// Gives the enclosing block its own copy of the demo vault and its own
// server: started before the block's tests, closed and removed after them.
function serveThisBlock(receive) {
  let started;
  before(async () => {
    const workspace = makeWorkspace();
    started = { workspace, server: await startServer(workspace) };
    receive(started);
  });
  after(async () => {
    await started?.server.client.close();
    if (started) fs.rmSync(started.workspace.root, { recursive: true, force: true });
  });
}

describe('quillstack-mcp through the MCP SDK client', () => {
  let workspace;
  let server;
  serveThisBlock((started) => ({ workspace, server } = started));

  test('the handshake reports the server, its capabilities and instructions', () => {
    assert.deepEqual(server.client.getServerVersion(), { name: 'quillstack', version: '0.1.0' });
    assert.deepEqual(server.client.getServerCapabilities(), { tools: { listChanged: false } });
    assert.match(server.client.getInstructions(), /^quillstack 是用户的个人记录库/);
  });

  test('lists the eight tools with schemas the SDK accepts', async () => {
    const { tools } = await server.client.listTools();
    assert.deepEqual(tools.map((t) => t.name), toolNames);
    for (const tool of tools) {
      assert.equal(tool.inputSchema.type, 'object');
      assert.ok(Array.isArray(tool.inputSchema.required), tool.name);
      assert.equal(typeof tool.annotations.readOnlyHint, 'boolean');
    }
    assert.deepEqual(tools.find((t) => t.name === 'minutes_write').inputSchema.required, ['id', 'markdown']);
  });

  test('answers ping', async () => {
    assert.deepEqual(await server.client.ping(), {});
  });

  test('an unknown tool is a protocol error', async () => {
    await assert.rejects(server.client.callTool({ name: 'no_such_tool', arguments: {} }),
      (error) => error.code === -32601 && error.message.includes('没有名为 no_such_tool 的工具'));
  });

  test('the log shows start-up and the initialized notification', () => {
    assert.match(server.log(), /\[quillstack-mcp\] Vault: .* \(schema=english-v2\)\n/);
    assert.match(server.log(), /\[quillstack-mcp\] started \(quillstack 0\.1\.0\)\n/);
    assert.match(server.log(), /\[quillstack-mcp\] notification: notifications\/initialized\n/);
  });

  // One test per tool: call it with callTool(server.client, name, args) and
  // check `isError`, `text` or `payload`.
});

// vocab_list and report_daily on the demo vault (a separate block: its own server).
describe('the vocabulary book and daily reports through the MCP SDK client', () => {
  let workspace;
  let server;
  serveThisBlock((started) => ({ workspace, server } = started));

  test('vocab_list lists live words earliest due first, filtered and capped', async () => {
    const all = await callTool(server.client, 'vocab_list');
    assert.equal(all.isError, false);
    assert.equal(all.payload.available, true);
    assert.equal(all.payload.returned, all.payload.words.length);
    assert.ok(all.payload.total >= all.payload.returned && all.payload.total > 0);
    const due = all.payload.words.map((w) => w.due_at);
    assert.deepEqual(due, [...due].sort());
    for (const word of all.payload.words) {
      assert.match(word.due_at, /^\d{4}-\d{2}-\d{2}T\d{2}:\d{2}:\d{2}Z$/);
      assert.ok(word.source === 'lookup' || word.source === 'imported');
      assert.ok(!('added_at' in word) && !('examples' in word) && !('deletedAt' in word));
    }

    const imported = await callTool(server.client, 'vocab_list', { source: 'imported', limit: 2 });
    assert.equal(imported.payload.returned, 2);
    assert.ok(imported.payload.total >= 2);
    assert.ok(imported.payload.words.every((w) => w.source === 'imported'));

    const future = await callTool(server.client, 'vocab_list', { query: 'SERENDIPITY', due_only: true });
    assert.equal(future.payload.total, 0);  // due in 2099
  });

  test('report_daily passes a stored report through and names a missing one', async () => {
    const report = await callTool(server.client, 'report_daily', { date: '2025-02-28' });
    assert.equal(report.isError, false);
    assert.equal(report.payload.date, '2025-02-28');
    assert.equal(typeof report.payload.headline, 'string');
    assert.ok(!('generatedAt' in report.payload));  // not among the members handed on

    const missing = await callTool(server.client, 'report_daily', { date: '2024-01-01' });
    assert.equal(missing.isError, true);
    assert.equal(missing.text, '❌ 2024-01-01 没有日报。日报由 Mac App 生成,不是每天都有。');

    const malformed = await callTool(server.client, 'report_daily', { date: '2025-2-28' });
    assert.equal(malformed.isError, true);
    assert.equal(malformed.text, '❌ date 要写成 yyyy-MM-dd,收到的是「2025-2-28」。');
  });
});

// minutes_write and diary_write on a private copy of the demo vault (a separate
// block: its own server and its own copy, so the reads above never see these writes).
describe('the write tools through the MCP SDK client', () => {
  const entry = 'CA35DAB8-DCA0-418A-A388-369CBF54A473';
  const insights = (ws) => path.join(ws.vault, 'memories', 'timeline', 'insights', '2025-03-05');
  let workspace;
  let server;
  serveThisBlock((started) => ({ workspace, server } = started));

  test('minutes_write replaces minutes and summary and archives both', async () => {
    const oldMinutes = fs.readFileSync(path.join(insights(workspace), `${entry}.min.md`));
    const oldSummary = fs.readFileSync(path.join(insights(workspace), `${entry}.sum.txt`));
    const markdown = '# 新纪要\n\n- 决定 / 下一步';
    const summary = '改过的一句话摘要\n';
    const result = await callTool(server.client, 'minutes_write', { id: entry, markdown, summary });
    assert.equal(result.isError, false, result.text);
    assert.equal(result.payload.ok, true);
    assert.equal(result.payload.date, '2025-03-05');
    assert.ok(!('warning' in result.payload));
    assert.deepEqual(result.payload.wrote, [
      path.join(insights(workspace), `${entry}.min.md`),
      path.join(insights(workspace), `${entry}.sum.txt`),
    ]);
    assert.equal(fs.readFileSync(result.payload.wrote[0], 'utf8'), markdown);
    assert.equal(fs.readFileSync(result.payload.wrote[1], 'utf8'), summary);

    assert.equal(result.payload.archived.length, 2);
    const history = path.join(workspace.vault, 'core', 'meta', 'minutes-history', entry);
    for (const archived of result.payload.archived) {
      assert.equal(path.dirname(archived), history);
      assert.match(path.basename(archived), /^\d{4}-\d{2}-\d{2}T\d{6}Z(-\d+)?\.(min\.md|sum\.txt)$/);
    }
    assert.deepEqual(fs.readFileSync(result.payload.archived[0]), oldMinutes);
    assert.deepEqual(fs.readFileSync(result.payload.archived[1]), oldSummary);

    // The repository's demo vault is never written.
    const committed = path.join(sourceDir, 'examples', 'demo-vault', 'memories', 'timeline', 'insights', '2025-03-05');
    assert.deepEqual(fs.readFileSync(path.join(committed, `${entry}.min.md`)), oldMinutes);
    assert.ok(!fs.existsSync(path.join(sourceDir, 'examples', 'demo-vault', 'core', 'meta')));
  });

  test('minutes_write refuses an id that would leave the vault', async () => {
    const result = await callTool(server.client, 'minutes_write', { id: '../../escape', markdown: 'x' });
    assert.equal(result.isError, true);
    assert.match(result.text, /^❌ id 不合法/);
  });

  test('diary_write adds a text entry and its metadata under a new UUID', async () => {
    const text = '今天的日记 🇨🇳\n第二行';
    const result = await callTool(server.client, 'diary_write', { text, date: '2025-03-10', tags: ['日记', 'demo'] });
    assert.equal(result.isError, false, result.text);
    assert.match(result.payload.id, /^[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}$/);
    assert.equal(result.payload.date, '2025-03-10');
    assert.equal(result.payload.chars, 11);  // the flag is one character
    const folder = path.join(workspace.vault, 'memories', 'timeline', 'inputs', '2025-03-10');
    assert.deepEqual(result.payload.wrote, [
      path.join(folder, `${result.payload.id}.memo.txt`),
      path.join(folder, `${result.payload.id}.meta.json`),
    ]);
    assert.equal(fs.readFileSync(result.payload.wrote[0], 'utf8'), text);
    assert.deepEqual(JSON.parse(fs.readFileSync(result.payload.wrote[1], 'utf8')),
      { createdBy: 'mcp', tags: ['日记', 'demo'] });

    const malformed = await callTool(server.client, 'diary_write', { text, date: '2025/03/10' });
    assert.equal(malformed.isError, true);
    assert.equal(malformed.text, '❌ date 要写成 yyyy-MM-dd,收到的是「2025/03/10」。');
  });
});

// vault_search, recording_list, recording_transcript and minutes_read on the
// demo vault (a separate block: its own server and its own copy).
describe('the timeline read tools through the MCP SDK client', () => {
  const entry = 'CA35DAB8-DCA0-418A-A388-369CBF54A473';
  let workspace;
  let server;
  serveThisBlock((started) => ({ workspace, server } = started));

  test('vault_search lists the latest entries and finds text whatever its case', async () => {
    const all = await callTool(server.client, 'vault_search');
    assert.equal(all.isError, false, all.text);
    assert.ok(all.payload.total_in_vault > 0);
    assert.equal(all.payload.returned, all.payload.items.length);
    assert.ok(all.payload.returned <= 20);
    const days = all.payload.items.map((item) => item.date);
    assert.deepEqual(days, [...days].sort().reverse());

    const found = await callTool(server.client, 'vault_search', { query: 'ATLAS', limit: 50 });
    assert.ok(found.payload.returned > 0);
    for (const item of found.payload.items) {
      const text = [item.id, item.title, item.snippet ?? '', ...(item.tags ?? []), ...(item.people ?? []),
        ...(item.projects ?? [])].join('\n').toLowerCase();
      // The snippet is cut, so a hit may lie in the part it leaves out.
      assert.ok(text.includes('atlas') || (item.snippet ?? '').length >= 180, item.id);
    }

    const voice = await callTool(server.client, 'vault_search', { type: 'voice', date_from: '2025-03-01' });
    assert.ok(voice.payload.items.every((item) => item.type === 'voice' && item.date >= '2025-03-01'));
  });

  test('recording_list tells which recordings have transcripts and minutes', async () => {
    const result = await callTool(server.client, 'recording_list');
    assert.equal(result.isError, false, result.text);
    assert.equal(result.payload.note, '转译稿没有说话人标注和时间戳,是一整段连续文本。');
    assert.ok(result.payload.recordings.every((r) => r.type === 'voice'
      && typeof r.has_transcript === 'boolean' && typeof r.has_minutes === 'boolean'));
    const recording = result.payload.recordings.find((r) => r.id === entry);
    assert.ok(recording);
    assert.equal(recording.date, '2025-03-05');
    assert.equal(recording.has_transcript, true);
    assert.equal(recording.has_minutes, true);
  });

  test('recording_transcript pages through a transcript in characters', async () => {
    const first = await callTool(server.client, 'recording_transcript', { id: entry, max_chars: 50 });
    assert.equal(first.isError, false, first.text);
    assert.equal(first.payload.returned_chars, 50);
    assert.equal(first.payload.truncated, true);
    assert.equal(first.payload.next_offset, 50);
    const rest = await callTool(server.client, 'recording_transcript', { id: entry, offset: 50 });
    assert.equal(rest.payload.returned_chars, first.payload.total_chars - 50);
    assert.ok(!('truncated' in rest.payload));
    const whole = await callTool(server.client, 'recording_transcript', { id: entry });
    assert.equal(whole.payload.text, first.payload.text + rest.payload.text);

    const past = await callTool(server.client, 'recording_transcript', { id: entry, offset: whole.payload.total_chars });
    assert.equal(past.text, `❌ offset ${whole.payload.total_chars} 超出全文长度 ${whole.payload.total_chars}。`);
    const escape = await callTool(server.client, 'recording_transcript', { id: '../../core/Dashboard' });
    assert.equal(escape.isError, true);
    assert.match(escape.text, /^❌ id 不合法:「\.\.\/\.\.\/core\/Dashboard」。/);
  });

  test('minutes_read returns minutes, summary and the entry metadata', async () => {
    const result = await callTool(server.client, 'minutes_read', { id: entry });
    assert.equal(result.isError, false, result.text);
    assert.equal(result.payload.date, '2025-03-05');
    assert.equal(result.payload.type, 'voice');
    const folder = path.join(workspace.vault, 'memories', 'timeline', 'insights', '2025-03-05');
    assert.equal(result.payload.minutes_path, path.join(folder, `${entry}.min.md`));
    assert.equal(result.payload.minutes_markdown, fs.readFileSync(result.payload.minutes_path, 'utf8'));
    assert.equal(result.payload.card_summary, fs.readFileSync(result.payload.summary_path, 'utf8'));
    assert.ok(Array.isArray(result.payload.tags) && Array.isArray(result.payload.extracted_tasks));
    assert.ok(!('warning' in result.payload));

    const missing = await callTool(server.client, 'minutes_read', { id: 'NO-SUCH-ENTRY' });
    assert.equal(missing.text, '❌ 找不到条目 NO-SUCH-ENTRY。先用 vault_search 确认 id。');
  });
});
