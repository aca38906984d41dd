// The music thread's CPU cost: plays a whole soundtrack through
// sound::play into /dev/null (a device that takes everything at once and
// queues nothing) and prints the thread's CPU seconds.
// Usage: decoder <file.ogg>
#include "demo/demo.h"
#include "sound/device.h"
#include "sound/sound.h"

#include <cstdio>
#include <ctime>
#include <pthread.h>

static std::uint32_t nothingqueued()
{
    return 0;
}

static double cpuseconds;

static void* timedplay(void*)
{
    sound::play();
    timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    cpuseconds = ts.tv_sec + ts.tv_nsec / 1e9;
    return nullptr;
}

int main(int argc, char** argv)
{
    if (argc != 2)
        return 2;
    FILE* f = std::fopen(argv[1], "r");
    FILE* sink = std::fopen("/dev/null", "w");
    if (!f || !sink || ov_open(f, &demo::music, nullptr, 0) != 0)
        return 1;
    sound::usedevice(sink, nothingqueued);
    pthread_t thread;
    pthread_create(&thread, nullptr, timedplay, nullptr);
    pthread_join(thread, nullptr);
    std::printf("%.4f %u\n", cpuseconds, demo::written.load());
    return 0;
}
