// The clock through both device layers while every core is kept busy by
// other processes: the music thread and the clock must still follow the
// device as closely as on an idle machine, and never step back.
#include "support/clockcheck.h"
#include "support/runner.h"

#include <gtest/gtest.h>
#include <memory>
#include <thread>

// One busy shell loop per core, killed when the object goes.
class cpuload {
public:
    cpuload()
    {
        unsigned cores = std::max(1u, std::thread::hardware_concurrency());
        for (unsigned i = 0; i < cores; i++)
            loops.push_back(std::make_unique<child>(std::vector<std::string>{"/bin/sh", "-c", "while :; do :; done"}, "/"));
    }

private:
    std::vector<std::unique_ptr<child>> loops;
};

TEST(Load, ClockFollowsAlsaDefaultOnBusyCores)
{
    cpuload busy;
    checkfollows(playclock(CLOCKRUN, {}));
}

TEST(Load, ClockFollowsOssEmulationOnBusyCores)
{
    cpuload busy;
    checkfollows(playclock(CLOCKRUN, {"LD_PRELOAD=/usr/$LIB/pulseaudio/libpulsedsp.so"}));
}
