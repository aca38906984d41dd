// A stand-in for the Windows C library's <io.h>, for the native build of
// win/sound.cpp (see windows.h here): descriptors are Linux's, and an
// "OS handle" is the descriptor itself.
#pragma once

#include <cstdint>
#include <cstdio>

#define _O_BINARY 0

std::intptr_t _get_osfhandle(int fd);
int _read(int fd, void* buffer, unsigned count);
int _pipe(int ends[2], unsigned size, int mode);
int _close(int fd);
FILE* _fdopen(int fd, const char* mode);
