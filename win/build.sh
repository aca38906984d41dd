#!/bin/sh
# The show as a Windows x86_64 program, from one command: cross-builds the
# libraries once (win/deps.sh, cached in build-win/deps) and the program
# with mingw-w64, and leaves the folder a Windows user runs in
# build-win/demoplayer: demoplayer.exe, SDL.dll, data/lyd.ogg, README.txt
# and the libraries' copyright files in licenses/. The test helpers
# (demoframe.exe, clockrun.exe) stay in build-win/cmake.
# Installs mingw-w64 with apt-get when it is missing.
set -eu
cd "$(dirname "$0")/.."
. tools/packages.sh
need $WIN_PACKAGES
out=build-win
sh win/deps.sh "$out/deps"
deps=$PWD/$out/deps/prefix
cmake -S win -B "$out/cmake" -DCMAKE_TOOLCHAIN_FILE="$PWD/win/toolchain.cmake" \
    -DDEPS="$deps" >/dev/null
cmake --build "$out/cmake" -j2
# The test helpers run beside a copy of the DLL.
cp "$deps/bin/SDL.dll" "$out/cmake/"

folder=$out/demoplayer
rm -rf "$folder"
mkdir -p "$folder/data" "$folder/licenses"
x86_64-w64-mingw32-strip -o "$folder/demoplayer.exe" "$out/cmake/demoplayer.exe"
x86_64-w64-mingw32-strip -o "$folder/SDL.dll" "$deps/bin/SDL.dll"
cp data/lyd.ogg "$folder/data/"
# Windows line ends, for any editor a viewer opens it with.
sed 's/$/\r/' win/README.txt >"$folder/README.txt"
for f in "$deps"/licenses/*.txt; do
    cp "$f" "$folder/licenses/"
done
# The C runtime start-up code and winpthreads, linked into the program.
cp /usr/share/doc/mingw-w64-common/copyright "$folder/licenses/mingw-w64.txt"
echo "win: program in $folder ($(du -sh "$folder" | cut -f1))"
