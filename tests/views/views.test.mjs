// The three views in headless Chromium (Debian's chromium, driven by
// playwright-core) under the AppBridge test host, fed by the real server over
// stdio: what a person sees, and screenshots in QS_SHOTS. Exits 77 (skipped)
// without chromium, without views/node_modules or before Node.js 20 (the SDK's).
import { after, before, test } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';

const { QS_BINARY: binary, QS_SOURCE_DIR: sourceDir, QS_SHOTS: shots = 'view-shots' } = process.env;
const modules = `${sourceDir}/views/node_modules`, browser = '/usr/bin/chromium';
if (!fs.existsSync(browser) || !fs.existsSync(modules) || Number(process.versions.node.split('.')[0]) < 20) process.exit(77);
const load = (file) => import(`${modules}/${file}`);
const { chromium } = await load('playwright-core/index.mjs');
const { build } = await load('esbuild/lib/main.js');
const sdk = (file) => load(`@modelcontextprotocol/sdk/dist/esm/client/${file}.js`);
const [{ Client }, { StdioClientTransport }] = [await sdk('index'), await sdk('stdio')];

let client, page, tools;
before(async () => {
  client = new Client({ name: 'quillstack-view-host', version: '1.0.0' });
  await client.connect(new StdioClientTransport({ command: binary, args: ['--vault', `${sourceDir}/examples/demo-vault`], stderr: 'ignore' }));
  ({ tools } = await client.listTools());
  const host = await build({ entryPoints: [new URL('host.js', import.meta.url).pathname], bundle: true, write: false, nodePaths: [modules] });
  page = await (await chromium.launch({ executablePath: browser, args: ['--no-sandbox'] })).newPage({ viewport: { width: 900, height: 640 } });
  await page.exposeFunction('mcp', (params) => client.callTool(params));
  await page.setContent(`<body style="margin:0"><script>${host.outputFiles[0].text}</script></body>`);
  fs.mkdirSync(shots, { recursive: true });
});
after(async () => { await page?.context().browser().close(); await client?.close(); });

// The tool's view and its result from the server, rendered by the host; the
// locator of the view's frame.
async function show(name, input, theme = 'light', locale = 'zh-CN') {
  const { contents: [view] } = await client.readResource({ uri: tools.find((t) => t.name === name)._meta.ui.resourceUri });
  const result = await client.callTool({ name, arguments: input });
  await page.evaluate((args) => window.show(args), { html: view.text, input, result, theme, locale });
  return (selector, options) => page.frameLocator('iframe').locator(selector, options);
}
// The whole view once the host has sized its frame; the window is made that
// tall first, as a resize while capturing paints nothing.
async function shot(name) {
  await page.waitForFunction(() => document.querySelector('iframe').offsetHeight > 200);
  await page.setViewportSize({ width: 900, height: await page.evaluate(() => document.body.scrollHeight) });
  await page.waitForTimeout(500);
  await page.screenshot({ path: `${shots}/${name}.png` });
  await page.setViewportSize({ width: 900, height: 640 });
}

test('the day: the report, its entries from morning to night, one opened to its minutes', async () => {
  const $ = await show('report_daily', { date: '2025-03-05' });
  await $('.entry').first().waitFor();
  assert.deepEqual((await $('.entry .title').allTextContents()).sort(), ['3月5日健康摘要', '和王磊的 1:1']);
  const times = await $('.entry time').allTextContents();
  assert.deepEqual(times, [...times].sort());
  await $('.entry button', { hasText: '纪要' }).first().click();
  await $('.opened h3').first().waitFor();
  await shot('day');
});

test('the meeting: a transcript page turned from the view, found words marked, in the dark', async () => {
  const $ = await show('recording_transcript', { id: 'CA35DAB8-DCA0-418A-A388-369CBF54A473', max_chars: 200 }, 'dark');
  const first = await $('.page', { hasText: '第 1 / 3 页' }).waitFor().then(() => $('.transcript').textContent());
  await $('button', { hasText: '下一页' }).click();
  await $('.page', { hasText: '第 2 / 3 页' }).waitFor();
  assert.notEqual(await $('.transcript').textContent(), first);
  await $('#find').fill('定价');
  assert.ok(await $('.minutes mark').count() > 0);
  await shot('meeting');
});

test('the vocabulary: in English, due words first, a card flipped', async () => {
  const $ = await show('vocab_list', { limit: 16 }, 'light', 'en-US');
  await $('.flash').first().click();
  assert.equal(await $('.flash').first().getAttribute('aria-pressed'), 'true');
  assert.match(await $('.sub').textContent(), /16 shown/);
  await page.waitForTimeout(600);  // the flip's animation, for the picture only
  await shot('vocabulary');
});
