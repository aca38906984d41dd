// Plays a soundtrack through the show's own device layer and prints the
// clock as the show reads it: one line per 10 ms, "<monotonic ns> <clock>".
// Usage: clockrun <file.ogg> <seconds>. Exits 1 when there is no device.
#include "demo/demo.h"
#include "sound/sound.h"

#include <cstdlib>
#include <ctime>
#include <pthread.h>
#include <unistd.h>

static long long now()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000000000LL + ts.tv_nsec;
}

int main(int argc, char** argv)
{
    if (argc != 3)
        return 2;
    FILE* f = std::fopen(argv[1], "rb");
    if (!f || ov_open(f, &demo::music, nullptr, 0) != 0)
        return 2;
    if (!sound::opendsp()) {
        std::puts("nodevice");
        return 1;
    }
    pthread_t thread;
    pthread_create(&thread, nullptr, sound::play, nullptr);
    long long end = now() + static_cast<long long>(std::atof(argv[2]) * 1e9);
    while (now() < end) {
        std::printf("%lld %d\n", now(), sound::time());
        usleep(10000);
    }
    std::fflush(stdout);
    _exit(0);
}
