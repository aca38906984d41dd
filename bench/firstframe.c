/* Preloaded into the program under measure; appends to the file named by
 * BENCH_LOG:
 *   "first <ns>"  when the first SDL_GL_SwapBuffers has returned: the
 *                 nanoseconds since the exec noted by launch.c;
 *   "hwm <kB> anon <kB> file <kB>"  at exit: peak resident set size, and
 *                 the anonymous and file-backed parts of the resident set
 *                 then, from /proc/self/status. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

static void note(const char* line)
{
    const char* path = getenv("BENCH_LOG");
    if (!path)
        return;
    int fd = open(path, O_WRONLY | O_APPEND | O_CREAT, 0644);
    if (fd < 0)
        return;
    ssize_t written = write(fd, line, strlen(line));
    close(fd);
    (void)written;
}

void SDL_GL_SwapBuffers(void)
{
    static int swapped;
    void (*real)(void) = (void (*)(void))dlsym(RTLD_NEXT, "SDL_GL_SwapBuffers");
    real();
    if (swapped++)
        return;
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    const char* exec = getenv("BENCH_EXEC_NS");
    long long ns = ts.tv_sec * 1000000000LL + ts.tv_nsec - (exec ? atoll(exec) : 0);
    char line[64];
    snprintf(line, sizeof line, "first %lld\n", ns);
    note(line);
}

/* The kB value of the /proc/self/status line starting with `key`. */
static long statusvalue(const char* status, const char* key)
{
    const char* at = strstr(status, key);
    return at ? atol(at + strlen(key)) : -1;
}

__attribute__((destructor)) static void atexit_memory(void)
{
    char status[8192];
    int fd = open("/proc/self/status", O_RDONLY);
    if (fd < 0)
        return;
    ssize_t n = read(fd, status, sizeof status - 1);
    close(fd);
    if (n <= 0)
        return;
    status[n] = 0;
    char line[128];
    snprintf(line, sizeof line, "hwm %ld anon %ld file %ld\n", statusvalue(status, "VmHWM:"),
             statusvalue(status, "RssAnon:"), statusvalue(status, "RssFile:"));
    note(line);
}
