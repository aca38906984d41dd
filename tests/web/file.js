// The single-file build (build-web/demoplayer.html) opened from disk: a
// copy in a new folder whose name has a space and a non-ASCII letter, and
// nothing else in that folder, opened as a file:// URL in the browser
// WEB_BROWSER names, which must send every request for a host through a
// proxy that answers none (it records each and drops the connection).
// Runs frames.js at the clock values given (or its own list) and whole.js
// on that file, and fails when either fails or when the page requested
// anything: in Chromium and Firefox, any request the driver saw the page
// make but for the file itself (browser.js, WEB_REQUESTS; the browsers'
// own update and account requests reach the proxy too, and are refused
// there like everything else); in WebKit, whose driver cannot tell, any
// request that reached the proxy.
//
//   node tests/web/file.js [CLOCK...]   (under X, from the repository
//   root, after web/build.sh; DEMORENDER as for frames.js)
'use strict';
const { spawn } = require('child_process');
const fs = require('fs');
const net = require('net');
const os = require('os');
const path = require('path');
const { pathToFileURL } = require('url');
const { fail, HUNG } = require('./browser');

async function refusing() {
  const asked = [];
  const server = net.createServer((socket) => {
    socket.once('data', (d) => {
      asked.push(d.toString('latin1').split('\r\n')[0]);
      socket.destroy();
    });
  });
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  return { address: `127.0.0.1:${server.address().port}`, asked, close: () => server.close() };
}

async function main() {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'one file \u00e5-'));
  const file = path.join(dir, 'demoplayer.html');
  fs.copyFileSync('build-web/demoplayer.html', file);
  const proxy = await refusing();
  const requests = path.join(os.tmpdir(), `one-file-requests-${process.pid}`);
  fs.writeFileSync(requests, '');
  const env = { ...process.env, SITE_URL: pathToFileURL(file).href, WEB_PROXY: proxy.address, WEB_REQUESTS: requests };
  let failed = 0, hung = false;
  for (const [test, args] of [['frames', process.argv.slice(2)], ['whole', []]]) {
    // The proxy answers in this process, so the test runs beside it.
    const child = spawn('node', [path.join(__dirname, `${test}.js`), ...args],
      { env, stdio: 'inherit' });
    const status = await new Promise((resolve) => child.on('exit', resolve));
    if (status !== 0) failed++;
    hung = hung || status === HUNG;
  }
  proxy.close();
  const asked = process.env.WEB_BROWSER === 'webkit' ? proxy.asked : fs.readFileSync(requests, 'utf8').split('\n').filter(Boolean);
  fs.rmSync(requests);
  console.log(`one file: ${asked.length} requests${asked.length ? ': ' + asked.join('; ') : ''}` +
    ` (${proxy.asked.length} reached the proxy)`);
  if (asked.length) failed++;
  fs.rmSync(dir, { recursive: true });
  // A hung driver is this file's failure only when nothing else failed.
  if (failed) process.exit(hung && failed === 1 ? HUNG : 1);
  console.log('one file: passed');
}

main().catch(fail);
