# A 32-bit x86 build by the host's compiler (g++-multilib) against an i386
# Debian root holding the show's -dev packages, made from one suite so that
# its versions agree with each other whatever the host has installed:
#
#   cmake -S . -B build-m32 -DCMAKE_TOOLCHAIN_FILE=cmake/m32.cmake -DM32_ROOT=/path/to/root
#
# tests/stages/50-m32.sh makes the root (tools/roots.sh) and runs what
# this builds with it as the library root of qemu's i386 emulation. The
# root is a sysroot: headers, libraries, the C library's start files and
# the linker scripts' absolute paths are all taken from it; only the
# compiler and its own 32-bit runtime (libgcc, libstdc++) are the host's.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
if(NOT M32_ROOT)
  set(M32_ROOT $ENV{M32_ROOT})
endif()
if(NOT EXISTS "${M32_ROOT}/usr/lib/i386-linux-gnu/libc.so")
  message(FATAL_ERROR "M32_ROOT (${M32_ROOT}) is not an i386 root with libc6-dev")
endif()
# Passed on to try_compile's projects, which read this file again.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES M32_ROOT)
set(CMAKE_SYSROOT "${M32_ROOT}")

# 64-bit file offsets and inode numbers: without them readdir and stat fail
# with EOVERFLOW on file systems that hand out large values (overlay and
# ext4 directory cookies), and a 32-bit program would see an empty folder.
set(CMAKE_C_FLAGS_INIT "-m32 -D_FILE_OFFSET_BITS=64")
set(CMAKE_CXX_FLAGS_INIT "-m32 -D_FILE_OFFSET_BITS=64")
set(CMAKE_EXE_LINKER_FLAGS_INIT -m32)
set(CMAKE_SHARED_LINKER_FLAGS_INIT -m32)
set(CMAKE_MODULE_LINKER_FLAGS_INIT -m32)

# Libraries, headers and packages from the root alone; programs (pkg-config,
# the code generators) from the host.
set(CMAKE_LIBRARY_ARCHITECTURE i386-linux-gnu)
set(CMAKE_FIND_ROOT_PATH "${M32_ROOT}")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(ENV{PKG_CONFIG_SYSROOT_DIR} "${M32_ROOT}")
set(ENV{PKG_CONFIG_LIBDIR} "${M32_ROOT}/usr/lib/i386-linux-gnu/pkgconfig:${M32_ROOT}/usr/share/pkgconfig")
