// The test host, bundled for the browser: the SDK's AppBridge renders a view
// in a sandboxed iframe, hands it a tool's input and result, and sends the
// view's tool calls to the real server through the page's `mcp` binding.
import { AppBridge, PostMessageTransport } from '@modelcontextprotocol/ext-apps/app-bridge';

window.show = async ({ html, input, result, theme, locale }) => {
  const frame = document.createElement('iframe');
  frame.setAttribute('sandbox', 'allow-scripts');
  frame.style.cssText = 'width:100%;height:200px;border:0;display:block';
  document.body.replaceChildren(frame);
  const bridge = new AppBridge(null, { name: 'quillstack-test-host', version: '1.0.0' }, { serverTools: {} },
    { hostContext: { theme, locale, displayMode: 'inline' } });
  bridge.oncalltool = (params) => window.mcp(params);
  bridge.onsizechange = ({ height }) => { if (height) frame.style.height = `${height}px`; };
  const ready = new Promise((resolve) => { bridge.oninitialized = resolve; });
  // Listening before the view loads, so its first message is not missed.
  await bridge.connect(new PostMessageTransport(frame.contentWindow, frame.contentWindow));
  frame.srcdoc = html;
  await ready;
  await bridge.sendToolInput({ arguments: input });
  await bridge.sendToolResult(result);
};
