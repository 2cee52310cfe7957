// The official MCP TypeScript clients against the real binary: v1
// (@modelcontextprotocol/sdk) in the handshake era, and v2
// (@modelcontextprotocol/client, Node.js 20 or later) in the stateless
// 2026-07-28 era, pinned and in 'auto' mode, which probes with server/discover.
// Each client validates every reply against its own schemas; the test sees the
// handshake, the titled tool list, one read with its structured result, one
// write, a failed call and the resources. The error codes and the members of each
// reply are the protocol's own tests'.
// Run by CTest (QS_BINARY, QS_SOURCE_DIR set) or by hand:
//   QS_BINARY=../../build/debug/src/quillstack-mcp QS_SOURCE_DIR=../.. node --test clients.test.mjs
import { after, before, describe, test } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import os from 'node:os';

const { QS_BINARY: binary, QS_SOURCE_DIR: sourceDir } = process.env;
assert.ok(binary && sourceDir, 'QS_BINARY and QS_SOURCE_DIR must be set');
// A voice entry of the demo vault with its transcript, minutes and summary.
const entry = 'CA35DAB8-DCA0-418A-A388-369CBF54A473';
const sdk = async (client, stdio) => [(await import(client)).Client, (await import(stdio)).StdioClientTransport];
const v1 = () => sdk('@modelcontextprotocol/sdk/client/index.js', '@modelcontextprotocol/sdk/client/stdio.js');
const v2 = () => sdk('@modelcontextprotocol/client', '@modelcontextprotocol/client/stdio');
const skip = Number(process.versions.node.split('.')[0]) < 20 && 'needs Node.js 20';
const clients = [['the v1 client', v1, {}], ['the v2 client pinned to 2026-07-28', v2, { mode: { pin: '2026-07-28' } }, skip],
  ['the v2 client in auto mode', v2, { mode: 'auto' }, skip]];

for (const [label, load, negotiation, skip] of clients) {
  describe(`quillstack-mcp through ${label}`, { skip }, () => {
    // A private copy of the demo vault, so the writes never touch the one in
    // the repository, and an empty home so no iCloud Drive folder is found.
    let client, root, vault;
    const call = (name, args) => client.callTool({ name, arguments: args });
    before(async () => {
      root = fs.mkdtempSync(`${os.tmpdir()}/qs-interop-`);
      vault = `${root}/vault`;
      fs.cpSync(`${sourceDir}/examples/demo-vault`, vault, { recursive: true });
      // What a host passes, plus the settings a sanitizer build needs.
      const env = { HOME: root, LANG: 'C.UTF-8', PATH: process.env.PATH ?? '/usr/bin:/bin' };
      for (const keep of ['ASAN_OPTIONS', 'UBSAN_OPTIONS', 'LSAN_OPTIONS']) if (process.env[keep]) env[keep] = process.env[keep];
      const [Client, Transport] = await load();
      client = new Client({ name: 'quillstack-interop', version: '1.0.0' }, { versionNegotiation: negotiation });
      await client.connect(new Transport({ command: binary, args: ['--vault', vault], env, stderr: 'ignore' }));
    });
    after(async () => {
      await client?.close();
      if (root) fs.rmSync(root, { recursive: true, force: true });
    });

    test('describes itself, lists the tools, reads, writes, and reports failures', async () => {
      if (load === v2) assert.equal(client.getNegotiatedProtocolVersion(), '2026-07-28');
      assert.deepEqual(client.getServerVersion(), { name: 'quillstack', version: '0.1.0' });
      const { tools, resources } = client.getServerCapabilities(), fixed = { listChanged: false };
      assert.deepEqual({ tools, resources }, { tools: fixed, resources: fixed });
      assert.match(client.getInstructions(), /^quillstack 是用户的个人记录库/);
      // every mode speaks 2025-06-18 or later
      assert.ok((await client.listTools()).tools.every((t) => t.title));
      const read = await call('minutes_read', { id: entry }), minutes = JSON.parse(read.content[0].text);
      assert.deepEqual([minutes.date, read.structuredContent], ['2025-03-05', minutes]);
      const wrote = await call('diary_write', { text: '今天的日记', date: '2025-03-10' });
      assert.ok(wrote.structuredContent.wrote[0].startsWith(vault));
      const missing = await call('minutes_read', { id: 'NO-SUCH-ENTRY' });
      assert.ok(missing.isError && !('structuredContent' in missing));
    });

    test('lists, templates and reads the vault as resources', async () => {
      const uri = `quillstack://minutes/${entry}`;
      assert.ok((await client.listResources()).resources.some((r) => r.uri === uri));
      await client.listResourceTemplates();
      const { contents: [minutes] } = await client.readResource({ uri });
      assert.equal(minutes.text, fs.readFileSync(`${vault}/memories/timeline/insights/2025-03-05/${entry}.min.md`, 'utf8'));
    });
  });
}
