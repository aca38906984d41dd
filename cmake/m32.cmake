# A 32-bit x86 build on an x86_64 Debian host with the i386 architecture
# added: cmake -S . -B build-m32 -DCMAKE_TOOLCHAIN_FILE=cmake/m32.cmake
#
# The i386 libraries come from their runtime and -dev:i386 packages. Classic
# SDL 1.2's dev package cannot be installed for both architectures, so the
# build uses the amd64 SDL headers (the same for both) and links the i386
# runtime library by its file name.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
# 64-bit file offsets and inode numbers: without them readdir and stat fail
# with EOVERFLOW on file systems that hand out large values (overlay and
# ext4 directory cookies), and a 32-bit program would see an empty folder.
set(CMAKE_C_FLAGS_INIT "-m32 -D_FILE_OFFSET_BITS=64")
set(CMAKE_CXX_FLAGS_INIT "-m32 -D_FILE_OFFSET_BITS=64")
set(CMAKE_EXE_LINKER_FLAGS_INIT -m32)
set(CMAKE_SHARED_LINKER_FLAGS_INIT -m32)
set(CMAKE_MODULE_LINKER_FLAGS_INIT -m32)

# find_library and find_package search /usr/lib/i386-linux-gnu, and
# pkg-config reads only the i386 .pc files (plus the shared ones).
set(CMAKE_LIBRARY_ARCHITECTURE i386-linux-gnu)
set(CMAKE_IGNORE_PATH /usr/lib/x86_64-linux-gnu /lib/x86_64-linux-gnu)
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/i386-linux-gnu/pkgconfig:/usr/share/pkgconfig)
set(SDL_LIBRARY /usr/lib/i386-linux-gnu/libSDL-1.2.so.0 CACHE FILEPATH "SDL 1.2 runtime, i386")
