# A 64-bit ARM (aarch64) build on an x86_64 host: clang, which compiles for
# any target, and binutils-aarch64-linux-gnu's linker, against an arm64
# Debian root holding the show's -dev packages and the C++ library's:
#
#   cmake -S . -B build-a -DCMAKE_TOOLCHAIN_FILE=cmake/arm64.cmake -DARM64_ROOT=/path/to/root
#
# tools/release/arm64.sh makes the root and builds the arm64 release with
# it. The root is a sysroot: headers, libraries, the C library's start
# files, and GCC's start files, libgcc and libstdc++ (those of the root's
# libstdc++-dev, so the program needs no newer C++ library than the root's
# suite has) are all taken from it; only the compiler is the host's.
# Debian 12's g++-aarch64-linux-gnu is not used: it cannot be installed
# beside g++-multilib, which the 32-bit build needs.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
if(NOT ARM64_ROOT)
  set(ARM64_ROOT $ENV{ARM64_ROOT})
endif()
if(NOT EXISTS "${ARM64_ROOT}/usr/lib/aarch64-linux-gnu/libc.so")
  message(FATAL_ERROR "ARM64_ROOT (${ARM64_ROOT}) is not an arm64 root with libc6-dev")
endif()
# Passed on to try_compile's projects, which read this file again.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES ARM64_ROOT)
set(CMAKE_SYSROOT "${ARM64_ROOT}")

set(CMAKE_C_COMPILER clang)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_C_COMPILER_TARGET aarch64-linux-gnu)
set(CMAKE_CXX_COMPILER_TARGET aarch64-linux-gnu)
# clang finds aarch64-linux-gnu-ld itself; the other tools are named here.
set(CMAKE_AR /usr/bin/aarch64-linux-gnu-ar)
set(CMAKE_RANLIB /usr/bin/aarch64-linux-gnu-ranlib)
set(CMAKE_STRIP /usr/bin/aarch64-linux-gnu-strip)

# Libraries, headers and packages from the root alone; programs (pkg-config)
# from the host.
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)
set(CMAKE_FIND_ROOT_PATH "${ARM64_ROOT}")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(ENV{PKG_CONFIG_SYSROOT_DIR} "${ARM64_ROOT}")
set(ENV{PKG_CONFIG_LIBDIR} "${ARM64_ROOT}/usr/lib/aarch64-linux-gnu/pkgconfig:${ARM64_ROOT}/usr/share/pkgconfig")
