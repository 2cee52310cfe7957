// What the three views share: the connection to the host through the MCP
// Apps SDK, the host's theme and language, tool calls, and small renderers.
import { App, applyDocumentTheme, applyHostFonts, applyHostStyleVariables } from '@modelcontextprotocol/ext-apps';
import './style.css';

// The tools answer in Chinese; a host that speaks English gets English labels.
export let english = false;
export const say = (zh, en) => (english ? en : zh);

// Text escaped for HTML, so vault contents never become markup.
export const esc = (value) => String(value ?? '').replace(/[&<>"']/g, (c) => `&#${c.charCodeAt(0)};`);

// A tool result as its payload; a failed call as { error } with its message.
export function payloadOf(result) {
  const text = result?.content?.find((c) => c.type === 'text')?.text ?? '';
  if (result?.isError) return { error: text.replace(/^❌ /, '') };
  if (result?.structuredContent) return result.structuredContent;
  try { return JSON.parse(text); } catch { return { error: text }; }
}

// Markdown as the vault writes it: headings, lists, quotes, emphasis, code.
export function markdown(source) {
  const inline = (s) => esc(s).replace(/\*\*(.+?)\*\*/g, '<strong>$1</strong>').replace(/`([^`]+)`/g, '<code>$1</code>');
  let html = '';
  let list = null;
  const close = () => { if (list) html += `</${list}>`; list = null; };
  for (const line of String(source ?? '').split('\n')) {
    const heading = line.match(/^(#{1,4})\s+(.*)/);
    const item = line.match(/^\s*([-*]|\d+\.)\s+(?:\[( |x)\]\s+)?(.*)/);
    if (heading) { close(); html += `<h${heading[1].length + 2}>${inline(heading[2])}</h${heading[1].length + 2}>`; continue; }
    if (item) {
      const kind = /\d/.test(item[1]) ? 'ol' : 'ul';
      if (list !== kind) { close(); html += `<${kind}>`; list = kind; }
      html += `<li>${item[2] !== undefined ? (item[2] === 'x' ? '☑ ' : '☐ ') : ''}${inline(item[3])}</li>`;
      continue;
    }
    close();
    if (line.startsWith('>')) html += `<blockquote>${inline(line.replace(/^>\s?/, ''))}</blockquote>`;
    else if (line.trim()) html += `<p>${inline(line)}</p>`;
  }
  close();
  return html;
}

// Connects to the host; `onInput` gets the tool's arguments, `onResult` its payload.
export function startView(name, { onInput, onResult, onLanguage }) {
  const app = new App({ name: `quillstack ${name}`, version: '0.1.0' }, {}, { autoResize: true });
  const applyContext = (context) => {
    if (!context) return;
    if (context.theme) applyDocumentTheme(context.theme);
    if (context.styles?.variables) applyHostStyleVariables(context.styles.variables);
    if (context.styles?.css?.fonts) applyHostFonts(context.styles.css.fonts);
    if (context.locale) {
      document.documentElement.lang = context.locale;
      english = /^en\b/i.test(context.locale);
      onLanguage?.();
    }
  };
  app.onhostcontextchanged = applyContext;
  app.ontoolinput = ({ arguments: args }) => onInput?.(args ?? {});
  app.ontoolresult = (result) => onResult(payloadOf(result));
  app.connect().then(() => applyContext(app.getHostContext()));
  // A tool called from the view, through the host, as its payload.
  return async (tool, args) => {
    try { return payloadOf(await app.callServerTool({ name: tool, arguments: args })); } catch (error) { return { error: String(error?.message ?? error) }; }
  };
}
