// The meeting (minutes_read, recording_transcript): the minutes beside the
// transcript, a page at a time through the tool, with found words marked.
import { esc, markdown, say, startView } from './common.js';

const kPage = 1500;  // characters of transcript a page, unless the call asked for fewer
const root = document.getElementById('app');
const state = { id: '', minutes: null, page: null, offset: 0, size: kPage, find: '' };

const call = startView('meeting', {
  onInput: (args) => {
    if (Number(args.max_chars) > 0) state.size = Math.min(kPage, Number(args.max_chars));
    if (args.query) state.find = String(args.query);
    if (args.id && args.id !== state.id) load(args.id, Math.max(0, Number(args.offset) || 0));
  },
  onResult: (payload) => {
    if (payload.error && !state.id) { state.minutes = payload; render(); return; }
    if ('minutes_markdown' in payload) state.minutes = payload;
    if (payload.id && payload.id !== state.id) load(payload.id, 'text' in payload ? payload.offset ?? 0 : 0);
    else render();
  },
  onLanguage: () => render(),
});

async function load(id, offset) {
  state.id = id;
  render();
  const [minutes] = await Promise.all([state.minutes?.id === id ? state.minutes : call('minutes_read', { id }), turn(offset)]);
  state.minutes = minutes;
  render();
}

async function turn(offset) {
  state.offset = offset;
  const page = await call('recording_transcript', { id: state.id, offset, max_chars: state.size });
  if (offset === state.offset) { state.page = page; render(); }
}

// The text with every occurrence of the searched words marked.
function marked(html) {
  const words = state.find.trim().split(/\s+/).filter(Boolean).map((w) => esc(w).replace(/[.*+?^${}()|[\]\\]/g, '\\$&'));
  if (!words.length) return html;
  const pattern = new RegExp(`(${words.join('|')})(?![^<]*>)`, 'gi');
  return html.replace(pattern, '<mark>$1</mark>');
}

function render() {
  const m = state.minutes ?? {};
  const p = state.page;
  const pages = p && !p.error ? Math.max(1, Math.ceil(p.total_chars / state.size)) : 0;
  const at = p && !p.error ? Math.floor(p.offset / state.size) + 1 : 0;
  const tags = [...(m.people ?? []), ...(m.projects ?? []), ...(m.tags ?? [])];
  const focused = document.activeElement?.id === 'find';
  root.innerHTML = `<header class="row"><div class="grow"><h1>${esc(m.title || say('会议', 'Meeting'))}</h1>
      <p class="sub">${esc(m.date ?? p?.date ?? '')}${m.time ? ` ${esc(m.time)}` : ''}${m.card_summary ? ` · ${esc(m.card_summary)}` : ''}</p></div>
      <input id="find" type="search" placeholder="${say('在纪要和转译稿里找…', 'Find in minutes and transcript…')}" value="${esc(state.find)}"></header>
    ${tags.length ? `<div class="chips tags">${tags.map((t) => `<span class="chip">${esc(t)}</span>`).join('')}</div>` : ''}
    <div class="meeting"><section><h2>${say('纪要', 'Minutes')}</h2><div class="card minutes">
      ${m.error ? `<p class="error">${esc(m.error)}</p>` : m.minutes_markdown ? marked(markdown(m.minutes_markdown)) : `<p class="muted">${esc(m.warning ?? say('读取中…', 'Loading…'))}</p>`}
      ${m.extracted_tasks?.length ? `<h4>${say('待办', 'Tasks')}</h4><ul>${marked(m.extracted_tasks.map((t) => `<li>☐ ${esc(t)}</li>`).join(''))}</ul>` : ''}
    </div></section><section><h2>${say('转译稿', 'Transcript')}</h2><div class="card">
      ${!p ? `<p class="muted">${say('读取中…', 'Loading…')}</p>` : p.error ? `<p class="error">${esc(p.error)}</p>`
        : `<div class="transcript">${marked(esc(p.text))}</div>
      <div class="row pager"><button data-turn="-1" ${at <= 1 ? 'disabled' : ''}>‹ ${say('上一页', 'Previous')}</button>
        <span class="grow muted page">${say(`第 ${at} / ${pages} 页 · 共 ${p.total_chars} 字`, `Page ${at} of ${pages} · ${p.total_chars} characters`)}</span>
        <button data-turn="1" ${p.next_offset == null ? 'disabled' : ''}>${say('下一页', 'Next')} ›</button></div>`}
    </div></section></div>`;
  if (focused) { const input = document.getElementById('find'); input.focus(); input.setSelectionRange(input.value.length, input.value.length); }
}

root.addEventListener('click', (event) => {
  const button = event.target.closest('button[data-turn]');
  if (button && state.page && !state.page.error) turn(Math.max(0, state.offset + Number(button.dataset.turn) * state.size));
});
root.addEventListener('input', (event) => { if (event.target.id === 'find') { state.find = event.target.value; render(); } });
render();
