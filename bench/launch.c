/* Notes the monotonic time of the exec in BENCH_EXEC_NS, then becomes the
 * program: launch <program> [args ...]. The exec keeps the process, so
 * the time is taken in the same process that later presents its first
 * frame (see firstframe.c). */
#include <stdio.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

int main(int argc, char** argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: launch <program> [args ...]\n");
        return 2;
    }
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    char ns[32];
    snprintf(ns, sizeof ns, "%lld", ts.tv_sec * 1000000000LL + ts.tv_nsec);
    setenv("BENCH_EXEC_NS", ns, 1);
    execv(argv[1], argv + 1);
    perror(argv[1]);
    return 127;
}
