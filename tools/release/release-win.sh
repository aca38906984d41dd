#!/bin/sh
# The Windows download: builds the program with win/build.sh of the tree
# this script is in (its libraries cached in that tree's build-win/deps)
# and zips its folder, as the one folder demoplayer-VERSION-windows-x86_64,
# into DIR/demoplayer-VERSION-windows-x86_64.zip. Fails when the zip is
# over its budget of 4 MB.
#
#   sh tools/release/release-win.sh DIR VERSION     (tools/release/release.sh runs the copy
#                                            in the exported commit)
set -eu
[ $# -eq 2 ] || { echo "usage: sh tools/release/release-win.sh DIR VERSION" >&2; exit 2; }
dir=$1 version=$2
cd "$(dirname "$0")/../.."
sh win/build.sh
name=demoplayer-$version-windows-x86_64
mkdir -p "$dir"
dir=$(cd "$dir" && pwd)
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
cp -r build-win/demoplayer "$stage/$name"
rm -f "$dir/$name.zip"
(cd "$stage" && zip -qrX9 "$dir/$name.zip" "$name")
size=$(wc -c <"$dir/$name.zip")
if [ "$size" -gt 4000000 ]; then
    echo "release-win: $name.zip is $size bytes, over its budget of 4 MB" >&2
    exit 1
fi
echo "release-win: $name.zip, $size bytes"
