/* Preloaded into the real binary by the tests: logs one line per event to
 * the file named by PROBE_LOG, written at once so that even a process
 * ending with _exit leaves its trace:
 *   "video", then "sdl <file>": the video mode is set, by the SDL library
 *            in <file> (classic SDL 1.2 or sdl12-compat);
 *   "swap", then "pixel <x> <y> <r> <g> <b>" for the window's centre
 *            (320, 240) and the middle of the 64x64 corner (32, 32), read
 *            from the frame about to be presented (origin bottom left);
 *   "pcm":   an ALSA device is opened;
 *   "driver <name>": SDL is initialised with SDL_VIDEODRIVER set to <name>
 *            ("-" when unset);
 *   "quit":  SDL is shut down (SDL_Quit).
 * With PROBE_NOTHREAD set, every pthread_create called from the program
 * itself (not from a library it loaded) fails with EAGAIN. */
#define _GNU_SOURCE
#include <GL/gl.h>
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <link.h>
#include <pthread.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

static void note(const char* event)
{
    const char* path = getenv("PROBE_LOG");
    if (!path)
        return;
    int fd = open(path, O_WRONLY | O_APPEND | O_CREAT, 0644);
    if (fd < 0)
        return;
    char line[512];
    int n = snprintf(line, sizeof line - 1, "%s", event);
    if (n > (int)sizeof line - 2)
        n = sizeof line - 2;
    line[n] = '\n';
    if (write(fd, line, n + 1) < 0)
        line[0] = 0;
    close(fd);
}

void* SDL_SetVideoMode(int width, int height, int bpp, unsigned flags)
{
    void* (*real)(int, int, int, unsigned) = (void* (*)(int, int, int, unsigned))dlsym(RTLD_NEXT, "SDL_SetVideoMode");
    void* surface = real(width, height, bpp, flags);
    if (surface) {
        note("video");
        Dl_info where;
        char line[512];
        if (dladdr((void*)real, &where) && where.dli_fname) {
            snprintf(line, sizeof line, "sdl %s", where.dli_fname);
            note(line);
        }
    }
    return surface;
}

/* The program's own GL library is already loaded when it swaps; one RGBA
 * pixel fits its 4 bytes under any pack alignment. */
static void notepixel(int x, int y)
{
    typedef void (*readpixels)(GLint, GLint, GLsizei, GLsizei, GLenum, GLenum, void*);
    readpixels read = (readpixels)dlsym(RTLD_DEFAULT, "glReadPixels");
    if (!read)
        return;
    unsigned char p[4] = {0, 0, 0, 0};
    read(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
    char line[64];
    snprintf(line, sizeof line, "pixel %d %d %d %d %d", x, y, p[0], p[1], p[2]);
    note(line);
}

void SDL_GL_SwapBuffers(void)
{
    void (*real)(void) = (void (*)(void))dlsym(RTLD_NEXT, "SDL_GL_SwapBuffers");
    note("swap");
    notepixel(320, 240);
    notepixel(32, 32);
    real();
}

int snd_pcm_open(void** pcm, const char* name, int stream, int mode)
{
    int (*real)(void**, const char*, int, int) = (int (*)(void**, const char*, int, int))dlsym(RTLD_NEXT, "snd_pcm_open");
    note("pcm");
    return real(pcm, name, stream, mode);
}

int SDL_Init(unsigned flags)
{
    int (*real)(unsigned) = (int (*)(unsigned))dlsym(RTLD_NEXT, "SDL_Init");
    const char* driver = getenv("SDL_VIDEODRIVER");
    char line[512];
    snprintf(line, sizeof line, "driver %s", driver ? driver : "-");
    note(line);
    return real(flags);
}

void SDL_Quit(void)
{
    void (*real)(void) = (void (*)(void))dlsym(RTLD_NEXT, "SDL_Quit");
    note("quit");
    real();
}

/* dl_iterate_phdr visits the program first: 1 when the address in `data`
 * lies in one of its loaded segments, 2 when not; either ends the walk. */
static int inprogram(struct dl_phdr_info* info, size_t size, void* data)
{
    uintptr_t at = *(uintptr_t*)data;
    (void)size;
    for (int i = 0; i < info->dlpi_phnum; i++) {
        const ElfW(Phdr)* ph = &info->dlpi_phdr[i];
        if (ph->p_type == PT_LOAD && at - (info->dlpi_addr + ph->p_vaddr) < ph->p_memsz)
            return 1;
    }
    return 2;
}

int pthread_create(pthread_t* thread, const pthread_attr_t* attr, void* (*body)(void*), void* arg)
{
    typedef int (*createfn)(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*);
    createfn real = (createfn)dlsym(RTLD_NEXT, "pthread_create");
    uintptr_t caller = (uintptr_t)__builtin_return_address(0);
    if (getenv("PROBE_NOTHREAD") && dl_iterate_phdr(inprogram, &caller) == 1) {
        note("nothread");
        return EAGAIN;
    }
    return real(thread, attr, body, arg);
}
