// The real binary when its sound output goes away during the show, on a
// PulseAudio server of its own: the server killed ends the show with the
// sound message, judged by wall time. (A sink removed while another is
// there, the stream moved by the server, is met in the whole show,
// show_test.cpp.)
#include "support/audioserver.h"

#include <chrono>
#include <csignal>
#include <gtest/gtest.h>
#include <thread>

using namespace std::chrono;

// The show from the repository (its soundtrack), with the probe logging
// its calls, on `server`.
struct showrun {
    tempdir dir;
    std::string log = dir.path + "/probe.log";
    child show;
    explicit showrun(const audioserver& server)
        : show({DEMOPLAYER}, SOURCE_DIR, withprobe(server.env()))
    {
    }
    std::vector<std::string> withprobe(std::vector<std::string> env) const
    {
        env.push_back("LD_PRELOAD=" PROBE);
        env.push_back("PROBE_LOG=" + log);
        return env;
    }
};

TEST(SoundLoss, ServerKilledEndsTheShowWithTheSoundMessage)
{
    audioserver server;
    ASSERT_GT(server.pid, 0) << readfile(server.runtime.path + "/log");
    showrun run(server);
    std::this_thread::sleep_for(seconds(5));
    ASSERT_NE(server.streamsink(), "") << "the show is playing";
    kill(server.pid, SIGKILL);
    auto killed = steady_clock::now();
    server.pid = -1;
    outcome r = run.show.wait(30);
    double took = duration<double>(steady_clock::now() - killed).count();
    EXPECT_FALSE(r.timedout);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "bleh. lyden fucka. \\: \n");
    // Half a second of failed writes, then the frame that notices it.
    EXPECT_LT(took, 5.0);
    EXPECT_EQ(countlines(readfile(run.log), "quit"), 1) << "the display is given back";
}
