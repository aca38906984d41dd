#!/bin/sh
# The web build's benchmarks: builds the site (web/build.sh), serves it on
# a free port, and runs bench/web.js in Debian's Chromium, headless with
# SwiftShader: one whole show for the frame rates and clock figures, and
# RUNS page starts (default 3) for the time to the first frame. Prints a
# Markdown table; never fails because the machine is slow.
#
#   bench/web.sh [RUNS]
set -eu
cd "$(dirname "$0")/.."
. tools/packages.sh
need chromium
command -v npm >/dev/null || need nodejs npm
sh web/build.sh >&2
(cd tests/web && [ -d node_modules/playwright-core ] || npm ci --no-audit --no-fund >/dev/null)

port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
python3 -m http.server -b 127.0.0.1 -d build-web/site "$port" >/dev/null 2>&1 &
server=$!
trap 'kill $server 2>/dev/null || true' EXIT
until python3 -c "import urllib.request; urllib.request.urlopen('http://127.0.0.1:$port/')" 2>/dev/null; do
    sleep 0.2
done
echo "| figure | value | goal |"
echo "|---|---|---|"
SITE_URL="http://127.0.0.1:$port/" node bench/web.js build-web/site "${1:-3}"
