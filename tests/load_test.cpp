// The clock through both device layers while every core is kept busy by
// other processes: the music thread and the clock must still follow the
// device, and never step back. The device's pace is what the audio server
// actually played (it may be starved too), not the wall clock.
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
    serverpace server;
    cpuload busy;
    std::vector<sample> clock = playclock(CLOCKRUN, {});
    server.stop();
    checkfollowsserver(clock, server);
}

TEST(Load, ClockFollowsOssEmulationOnBusyCores)
{
    serverpace server;
    cpuload busy;
    std::vector<sample> clock = playclock(CLOCKRUN, {"LD_PRELOAD=/usr/$LIB/pulseaudio/libpulsedsp.so"});
    server.stop();
    checkfollowsserver(clock, server);
}
