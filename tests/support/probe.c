/* Preloaded into the real binary by the tests: logs one line per event to
 * the file named by PROBE_LOG ("video", "swap", "pcm"), written at once so
 * that even a process ending with _exit leaves its trace. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <fcntl.h>
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
    char line[64];
    size_t n = strlen(event);
    memcpy(line, event, n);
    line[n] = '\n';
    if (write(fd, line, n + 1) < 0)
        line[0] = 0;
    close(fd);
}

void* SDL_SetVideoMode(int width, int height, int bpp, unsigned flags)
{
    void* (*real)(int, int, int, unsigned) = (void* (*)(int, int, int, unsigned))dlsym(RTLD_NEXT, "SDL_SetVideoMode");
    void* surface = real(width, height, bpp, flags);
    if (surface)
        note("video");
    return surface;
}

void SDL_GL_SwapBuffers(void)
{
    void (*real)(void) = (void (*)(void))dlsym(RTLD_NEXT, "SDL_GL_SwapBuffers");
    note("swap");
    real();
}

int snd_pcm_open(void** pcm, const char* name, int stream, int mode)
{
    int (*real)(void**, const char*, int, int) = (int (*)(void**, const char*, int, int))dlsym(RTLD_NEXT, "snd_pcm_open");
    note("pcm");
    return real(pcm, name, stream, mode);
}
