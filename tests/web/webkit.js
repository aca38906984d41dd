// WebKitGTK for the web tests: Debian's WebKitWebDriver driving its
// MiniBrowser over W3C WebDriver (plain HTTP from Node), behind the part of
// puppeteer's page API that the tests and benchmarks use (newPage, goto,
// setViewport, evaluate, waitForFunction, $eval, screenshot, mouse.click,
// keyboard.down/up, close), so that browser.js gives every engine one API.
//
// What WebDriver lacks, and how this makes up for it (its limits):
// - No script before the page's own, no console events: every page is
//   opened with a recorder as its first script, followed by the scripts of
//   evaluateOnNewDocument. An http page is fetched through a relay of its
//   own that puts them into each HTML answer (other files pass through
//   unchanged); a file:// page is opened as a copy beside the original
//   (".probe-N-NAME", removed when the page closes) with them put in.
//   page.lines and page.errors are what the recorder saw (console calls,
//   uncaught errors and rejections), brought up to date by every call into
//   the page; the browser's own notices (failed downloads) are not there.
// - One window per page (a session's last window is never closed: the
//   session would end with it); each call first switches to its page's.
// - Pointer and key input through /actions: trusted, as a viewer's.
'use strict';
const { spawn } = require('child_process');
const fs = require('fs');
const http = require('http');
const net = require('net');
const path = require('path');
const { fileURLToPath, pathToFileURL } = require('url');

const minibrowser = '/usr/lib/x86_64-linux-gnu/webkit2gtk-4.1/MiniBrowser';

// Recorder: console calls and uncaught errors, kept for the driver.
function recorder() {
  const lines = window.__lines = [], errors = window.__errors = [];
  const kinds = { log: 'log', info: 'info', warn: 'warn', error: 'error', debug: 'debug' };
  for (const [name, type] of Object.entries(kinds)) {
    const original = console[name].bind(console);
    console[name] = (...args) => { lines.push({ type, text: args.map(String).join(' ') }); original(...args); };
  }
  window.addEventListener('error', (e) => errors.push(String(e.message)));
  window.addEventListener('unhandledrejection', (e) => errors.push(String(e.reason && e.reason.message || e.reason)));
}

async function freeport() {
  const server = net.createServer();
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  const { port } = server.address();
  await new Promise((resolve) => server.close(resolve));
  return port;
}

// An http relay to `origin` that puts `scripts` first into every HTML page.
async function injector(origin, scripts) {
  const tag = `<script>${scripts}</script>`;
  const server = http.createServer((request, response) => {
    const upstream = http.request(new URL(request.url, origin), { method: request.method }, (answer) => {
      const headers = { ...answer.headers };
      if (!/text\/html/.test(headers['content-type'] || '')) {
        response.writeHead(answer.statusCode, headers);
        answer.pipe(response);
        return;
      }
      const parts = [];
      answer.on('data', (d) => parts.push(d));
      answer.on('end', () => {
        const body = Buffer.from(insert(Buffer.concat(parts).toString('utf8'), tag));
        delete headers['content-length'];
        response.writeHead(answer.statusCode, { ...headers, 'content-length': body.length });
        response.end(body);
      });
    });
    upstream.on('error', () => response.destroy());
    upstream.end();
  });
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  return { url: `http://127.0.0.1:${server.address().port}`, close() { server.closeAllConnections(); server.close(); } };
}

// `tag` right after the page's <head> (a function: "$" in it stays as is).
function insert(html, tag) {
  const head = html.match(/<head[^>]*>/i);
  return head ? html.replace(head[0], () => head[0] + tag) : tag + html;
}

let copies = 0;

class Page {
  constructor(browser, handle) {
    this.browser = browser;
    this.handle = handle;
    this.lines = [];
    this.errors = [];
    this.scripts = [`(${recorder})();`];
    this.undo = [];
    this.mouse = { click: (x, y) => this.click(x, y) };
    this.keyboard = { down: (key) => this.key('keyDown', key), up: (key) => this.key('keyUp', key) };
  }

  async call(method, what, body) {
    await this.browser.focus(this.handle);
    return this.browser.call(method, what, body);
  }

  evaluateOnNewDocument(fn, arg) {
    this.scripts.push(`(${fn})(${arg === undefined ? '' : JSON.stringify(arg)});`);
  }

  on() {}

  async goto(url) {
    const scripts = this.scripts.join('\n');
    let target = url;
    if (url.startsWith('file:')) {
      const original = fileURLToPath(url.replace(/[?#].*$/, ''));
      const copy = path.join(path.dirname(original), `.probe-${process.pid}-${copies++}-${path.basename(original)}`);
      fs.writeFileSync(copy, insert(fs.readFileSync(original, 'utf8'), `<script>${scripts}</script>`));
      this.undo.push(() => fs.rmSync(copy, { force: true }));
      target = pathToFileURL(copy).href + url.slice(url.replace(/[?#].*$/, '').length);
    } else {
      const u = new URL(url);
      const relay = await injector(u.origin, scripts);
      this.undo.push(() => relay.close());
      target = relay.url + u.pathname + u.search + u.hash;
    }
    await this.call('POST', '/url', { url: target });
  }

  // The viewport, not the window, gets the size.
  async setViewport({ width, height }) {
    for (let i = 0; i < 3; i++) {
      const [w, h] = await this.evaluate(() => [innerWidth, innerHeight]);
      if (w === width && h === height) return;
      const rect = await this.call('GET', '/window/rect');
      await this.call('POST', '/window/rect', { width: rect.width + width - w, height: rect.height + height - h });
    }
  }

  // Runs fn(arg) in the page and waits for its promise; JSON values only.
  async evaluate(fn, arg) {
    const script = `const done = arguments[1];
      const news = () => [window.__lines || [], window.__errors || []];
      Promise.resolve().then(() => (${fn})(arguments[0])).then(
        (value) => done({ value, undef: value === undefined, news: news() }),
        (e) => done({ thrown: String(e && e.message || e), news: news() }));`;
    const r = await this.call('POST', '/execute/async', { script, args: [arg === undefined ? null : arg] });
    [this.lines, this.errors] = [r.news[0].slice(), r.news[1].slice()];
    if (r.thrown !== undefined) throw new Error(r.thrown);
    return r.undef ? undefined : r.value;
  }

  $eval(selector, fn) {
    return this.evaluate(new Function('selector', `return (${fn})(document.querySelector(selector));`), selector);
  }

  async waitForFunction(predicate, { timeout = 30000, polling = 100 } = {}, arg) {
    const end = Date.now() + timeout;
    for (;;) {
      if (await this.evaluate(predicate, arg)) return;
      if (Date.now() > end) throw new Error(`timeout ${timeout} ms`);
      await new Promise((resolve) => setTimeout(resolve, polling));
    }
  }

  async screenshot() {
    return Buffer.from(await this.call('GET', '/screenshot'), 'base64');
  }

  async click(x, y) {
    await this.call('POST', '/actions', { actions: [{ type: 'pointer', id: 'mouse', parameters: { pointerType: 'mouse' },
      actions: [{ type: 'pointerMove', origin: 'viewport', x, y, duration: 0 },
        { type: 'pointerDown', button: 0 }, { type: 'pointerUp', button: 0 }] }] });
  }

  async key(type, key) {
    const value = { Escape: '\uE00C' }[key] || key;
    await this.call('POST', '/actions', { actions: [{ type: 'key', id: 'keyboard', actions: [{ type, value }] }] });
  }

  async close() {
    if (this.browser.pages.has(this)) {
      this.browser.pages.delete(this);
      await this.call('DELETE', '/window').catch(() => {});
      this.browser.current = null;
      await this.browser.focus(this.browser.first);
    }
    for (const undo of this.undo.splice(0)) undo();
  }
}

class Browser {
  async start(display, proxy) {
    this.port = await freeport();
    this.driver = spawn('WebKitWebDriver', [`--port=${this.port}`],
      { env: { ...process.env, DISPLAY: display }, stdio: 'ignore', detached: true });
    // The driver and its browser go with this process, however it ends.
    process.on('exit', () => { try { process.kill(-this.driver.pid); } catch (e) {} });
    this.pages = new Set();
    this.current = null;
    for (let i = 0; ; i++) {
      try {
        await fetch(`http://127.0.0.1:${this.port}/status`);
        break;
      } catch (e) {
        if (i > 100) throw new Error('WebKitWebDriver did not answer within 10 s');
        await new Promise((resolve) => setTimeout(resolve, 100));
      }
    }
    const session = await this.call('POST', '/session', { capabilities: { alwaysMatch: {
      browserName: 'MiniBrowser',
      'webkitgtk:browserOptions': { binary: minibrowser, args: ['--automation'] },
      ...(proxy ? { proxy: { proxyType: 'manual', httpProxy: proxy, sslProxy: proxy, noProxy: [] } } : {}),
    } } });
    this.session = session.sessionId;
    this.release = session.capabilities.browserVersion;
    this.first = await this.call('GET', '/window');
    return this;
  }

  // One W3C command; a WebDriver error becomes an exception naming it.
  async call(method, what, body) {
    const prefix = this.session && what !== '/session' ? `/session/${this.session}` : '';
    const r = await fetch(`http://127.0.0.1:${this.port}${prefix}${what}`, {
      method, headers: { 'content-type': 'application/json' }, body: body && JSON.stringify(body),
    });
    const answer = await r.json();
    if (answer.value && answer.value.error) throw new Error(`WebDriver ${what}: ${answer.value.error}: ${answer.value.message}`);
    return answer.value;
  }

  async focus(handle) {
    if (this.current === handle) return;
    await this.call('POST', '/window', { handle });
    this.current = handle;
  }

  async newPage() {
    const { handle } = await this.call('POST', '/window/new', { type: 'window' });
    const page = new Page(this, handle);
    this.pages.add(page);
    return page;
  }

  async version() {
    return `WebKitGTK/${this.release}`;
  }

  // Ends the session, and with it the browser; the driver and whatever
  // it started go even when the session no longer answers.
  async close() {
    for (const page of [...this.pages]) await page.close().catch(() => {});
    await this.call('DELETE', '').catch(() => {});
    try { process.kill(-this.driver.pid); } catch (e) {}
  }
}

function launch(display, proxy) {
  return new Browser().start(display, proxy);
}

module.exports = { launch };
