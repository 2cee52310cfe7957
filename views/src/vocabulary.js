// The vocabulary (vocab_list): cards to flip, due words first, and the
// book's progress at a glance.
import { esc, say, startView } from './common.js';

const root = document.getElementById('app');
let book = null;
const flipped = new Set();

startView('vocabulary', { onResult: (payload) => { book = payload; render(); }, onLanguage: () => render() });

const isDue = (w) => !w.graduated && Date.parse(w.due_at) <= Date.now();

function card(w, i) {
  const met = w.encountered_in ?? {};
  return `<button class="flash${flipped.has(i) ? ' flipped' : ''}" data-card="${i}" aria-pressed="${flipped.has(i)}"><div class="inner">
    <div class="face front">${isDue(w) ? `<span class="due">${say('该复习了', 'Due')}</span>` : `<span class="stage">${w.graduated ? say('已掌握', 'Mastered') : say(`第 ${w.stage} 阶段`, `Stage ${w.stage}`)}</span>`}
      <div class="word">${esc(w.word)}</div><div class="phonetic">${esc(w.phonetic ?? '')}</div></div>
    <div class="face back"><strong>${esc(w.word)}</strong><div>${esc(w.translation ?? '')}</div>
      ${w.exam_tags?.length ? `<div class="chips">${w.exam_tags.map((t) => `<span class="chip">${esc(t)}</span>`).join('')}</div>` : ''}
      ${w.note ? `<div class="muted">${esc(w.note)}</div>` : ''}
      ${met.excerpt ? `<div class="excerpt">“${esc(met.excerpt)}”${met.date ? ` — ${esc(met.date)}` : ''}</div>` : ''}</div>
  </div></button>`;
}

function render() {
  if (!book) { root.innerHTML = `<p class="muted">${say('读取中…', 'Loading…')}</p>`; return; }
  if (book.error || book.available === false) { root.innerHTML = `<h1>${say('词库', 'Vocabulary')}</h1><p class="${book.error ? 'error' : 'muted'}">${esc(book.error ?? book.note)}</p>`; return; }
  const words = book.words ?? [];
  const due = words.filter(isDue).length, mastered = words.filter((w) => w.graduated).length;
  const learning = words.length - due - mastered;
  const share = (n) => `${words.length ? (100 * n) / words.length : 0}%`;
  root.innerHTML = `<h1>${say('词库', 'Vocabulary')}</h1>
    <p class="sub">${say(`共 ${book.total} 个词,显示 ${book.returned} 个 · 点卡片翻面`, `${book.total} words, ${book.returned} shown · click a card to flip it`)}</p>
    <div class="progress"><span style="width:${share(due)};background:var(--accent)"></span><span style="width:${share(learning)};background:var(--ocr)"></span><span style="width:${share(mastered)};background:var(--text-entry)"></span></div>
    <div class="chips"><span class="chip"><b>${due}</b> ${say('该复习', 'due')}</span><span class="chip"><b>${learning}</b> ${say('学习中', 'learning')}</span><span class="chip"><b>${mastered}</b> ${say('已掌握', 'mastered')}</span></div>
    <div class="cards">${words.map((w, i) => [w, i]).sort(([a], [b]) => isDue(b) - isDue(a)).map(([w, i]) => card(w, i)).join('')}</div>`;
}

root.addEventListener('click', (event) => {
  const target = event.target.closest('[data-card]');
  if (!target) return;
  const i = Number(target.dataset.card);
  if (!flipped.delete(i)) flipped.add(i);
  target.classList.toggle('flipped', flipped.has(i));
  target.setAttribute('aria-pressed', String(flipped.has(i)));
});
render();
