// The day (report_daily): the report's headline and sections beside the
// day's entries on a timeline, each opening its minutes or transcript.
import { esc, markdown, say, startView } from './common.js';

const root = document.getElementById('app');
const state = { date: '', report: null, entries: null, opened: {} };

const shown = (v) => (typeof v === 'string' ? v : v && typeof v === 'object' ? v.title ?? v.text ?? v.label ?? JSON.stringify(v) : String(v));
const list = (items) => (Array.isArray(items) ? `<ul>${items.map((i) => `<li>${esc(shown(i))}</li>`).join('')}</ul>` : `<p>${esc(shown(items))}</p>`);
const statLabels = { entries: ['条目', 'entries'], voice: ['录音', 'recordings'], health: ['健康', 'health'], text: ['随手记', 'notes'],
  recordingMinutes: ['录音分钟', 'recorded min'], sleepMinutes: ['睡眠分钟', 'sleep min'], steps: ['步数', 'steps'] };
// The entry's time of day: its own "time" when the server sends one.
const timeOf = (entry) => entry.time ?? '';

const call = startView('day', {
  onInput: (args) => { if (args.date && args.date !== state.date) load(args.date); },
  onResult: (payload) => {
    state.report = payload;
    if (payload.date && payload.date !== state.date) load(payload.date); else render();
  },
  onLanguage: () => render(),
});

async function load(date) {
  state.date = date;
  state.entries = null;
  render();
  const found = await call('vault_search', { date_from: date, date_to: date, limit: 100 });
  if (date !== state.date) return;
  // A day reads from morning to night, where the server tells the time of day.
  const items = found.error ? [] : [...(found.items ?? [])];
  if (items.every((e) => timeOf(e))) items.sort((a, b) => timeOf(a).localeCompare(timeOf(b)));
  state.entries = found.error ? { error: found.error } : items;
  render();
}

async function open(id, tool) {
  const key = `${id}/${tool}`;
  if (state.opened[key]) { delete state.opened[key]; render(); return; }
  state.opened[key] = `<p class="muted">${say('读取中…', 'Loading…')}</p>`;
  render();
  const got = await call(tool, tool === 'minutes_read' ? { id } : { id, max_chars: 1200 });
  state.opened[key] = got.error ? `<p class="error">${esc(got.error)}</p>`
    : tool === 'minutes_read' ? markdown(got.minutes_markdown || got.card_summary || got.warning)
    : `<p>${esc(got.text)}${got.truncated ? '…' : ''}</p><p class="muted">${say(`共 ${got.total_chars} 字`, `${got.total_chars} characters`)}</p>`;
  render();
}

function entryHtml(e) {
  const actions = [['minutes_read', say('纪要', 'Minutes')]];
  if (e.type === 'voice') actions.push(['recording_transcript', say('转译稿', 'Transcript')]);
  const opened = actions.map(([tool]) => state.opened[`${e.id}/${tool}`]).filter(Boolean);
  return `<li class="entry" data-id="${esc(e.id)}"><time>${esc(timeOf(e))}</time><span class="dot ${esc(e.type)}"></span><div>
    <div class="title">${esc(e.title)}</div>${e.snippet ? `<div class="snippet">${esc(e.snippet)}</div>` : ''}
    <div class="actions">${actions.map(([tool, label]) => `<button data-open="${tool}" data-id="${esc(e.id)}">${label}</button>`).join('')}</div>
    ${opened.map((html) => `<div class="card opened">${html}</div>`).join('')}</div></li>`;
}

function render() {
  const r = state.report ?? {};
  const mood = r.moodSummary && typeof r.moodSummary === 'object' ? r.moodSummary : null;
  const stats = r.stats && typeof r.stats === 'object' ? Object.entries(r.stats) : [];
  const sections = [['keyInsights', say('关键洞察', 'Key insights')], ['pendingItems', say('待办', 'Pending')],
    ['tomorrowSuggestions', say('明日建议', 'For tomorrow')]].filter(([k]) => r[k] != null);
  const entries = state.entries;
  root.innerHTML = `<header class="row"><div class="grow">
      <h1>${esc(r.headline ? shown(r.headline) : `${state.date} ${say('日报', 'daily report')}`)}</h1>
      <p class="sub">${esc(state.date)}${mood ? ` · ${esc(mood.label ?? '')}` : ''}</p></div>
      ${mood?.emoji ? `<div class="mood">${esc(mood.emoji)}</div>` : ''}</header>
    ${r.error ? `<p class="error">${esc(r.error)}</p>` : ''}
    ${r.shortSummary ? `<p><strong>${esc(shown(r.shortSummary))}</strong></p>` : ''}
    ${stats.length ? `<div class="chips">${stats.map(([k, v]) => `<span class="chip"><b>${esc(shown(v))}</b> ${esc(statLabels[k] ? say(...statLabels[k]) : k)}</span>`).join('')}</div>` : ''}
    <div class="day"><section><h2>${say('当天的条目', 'Entries of the day')}</h2>
      ${!entries ? `<p class="muted">${say('读取中…', 'Loading…')}</p>` : entries.error ? `<p class="error">${esc(entries.error)}</p>`
        : entries.length ? `<ol class="timeline">${entries.map(entryHtml).join('')}</ol>` : `<p class="muted">${say('这一天没有条目。', 'No entries this day.')}</p>`}
    </section><section>
      ${r.narrative ? `<h2>${say('总结', 'Summary')}</h2><p>${esc(shown(r.narrative))}</p>` : ''}
      ${r.markdownContent ? `<div class="card">${markdown(shown(r.markdownContent))}</div>` : ''}
      ${sections.map(([k, title]) => `<h2>${title}</h2>${list(r[k])}`).join('')}
    </section></div>`;
}

root.addEventListener('click', (event) => {
  const button = event.target.closest('button[data-open]');
  if (button) open(button.dataset.id, button.dataset.open);
});
render();
