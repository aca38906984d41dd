// A relay of the site (SITE_URL) on a port of its own, for tests that
// change what the page gets, in any browser: `rate` bytes per second for
// every file, sent in pieces every 50 ms, so that the downloads arrive in
// many pieces; `soundtrack`: null answers data/lyd.ogg with 404, bytes
// take its place.
'use strict';
const http = require('http');
const { site } = require('./browser');

async function relay({ rate, soundtrack } = {}) {
  const server = http.createServer(async (request, response) => {
    let status = 200, body = soundtrack, type = 'application/octet-stream';
    if (soundtrack === undefined || !request.url.startsWith('/data/lyd.ogg')) {
      const upstream = await fetch(new URL(request.url, site));
      status = upstream.status;
      type = upstream.headers.get('content-type') || type;
      body = Buffer.from(await upstream.arrayBuffer());
    } else if (soundtrack === null) {
      status = 404;
      body = Buffer.alloc(0);
    }
    response.writeHead(status, { 'Content-Type': type, 'Content-Length': body.length });
    const piece = rate ? Math.max(1, Math.round(rate / 20)) : body.length || 1;
    for (let at = 0; at < body.length; at += piece) {
      response.write(body.subarray(at, at + piece));
      if (rate) await new Promise((resolve) => setTimeout(resolve, 50));
    }
    response.end();
  });
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  return {
    url: `http://127.0.0.1:${server.address().port}/`,
    close() { server.closeAllConnections(); server.close(); },
  };
}

module.exports = { relay };
