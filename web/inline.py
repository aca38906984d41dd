#!/usr/bin/env python3
"""The site as one file: index.html with the files it downloads (demo.js,
demo.wasm, data/lyd.ogg) put inside it, base64-encoded, as window.inlined,
which the page reads instead of fetching, so the file plays opened from
disk (file://) with no server and no network.

    python3 web/inline.py SITE OUT     (web/build.sh: build-web/site,
                                        build-web/demoplayer.html)

Fails, writing nothing, when the page has other than exactly one script of
its own (the inlined files go just before it), when the page refers to a
file by a src or href other than a data: URL, or when the result is larger
than 3 MiB (base64 costs a third more than the files themselves).
"""
import base64
import os
import re
import sys

LIMIT = 3 * 1024 * 1024
FILES = ("demo.js", "demo.wasm", "data/lyd.ogg")


def inline(site):
    with open(os.path.join(site, "index.html"), encoding="utf-8") as f:
        page = f.read()
    if page.count("<script") != 1:
        sys.exit("inline: index.html must hold exactly one <script>")
    for ref in re.findall(r'\b(?:src|href)="([^"]*)"', page):
        if not ref.startswith("data:"):
            sys.exit(f"inline: index.html refers to {ref}")
    entries = []
    for name in FILES:
        with open(os.path.join(site, name), "rb") as f:
            entries.append(f'"{name}":"{base64.b64encode(f.read()).decode("ascii")}"')
    table = "<script>window.inlined = {" + ",".join(entries) + "};</script>\n"
    return page.replace("<script", table + "<script", 1)


def main():
    if len(sys.argv) != 3:
        sys.exit("usage: inline.py SITE OUT")
    site, out = sys.argv[1:]
    data = inline(site).encode("utf-8")
    if len(data) > LIMIT:
        sys.exit(f"inline: {len(data)} bytes, more than 3 MiB")
    with open(out + ".partial", "wb") as f:
        f.write(data)
    os.replace(out + ".partial", out)
    print(f"web: one file in {out} ({len(data) / 1048576:.2f} MiB)")


if __name__ == "__main__":
    main()
