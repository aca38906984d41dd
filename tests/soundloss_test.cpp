// The real binary when its sound output goes away during the show, on a
// PulseAudio server of its own (so the server test.sh started is never
// touched): the server killed ends the show with the sound message, and a
// sink removed while another is there plays on, moved by the server.
// Judged by wall time and by the server's own report of the stream.
#include "support/runner.h"

#include <chrono>
#include <csignal>
#include <gtest/gtest.h>
#include <thread>
#include <unistd.h>

using namespace std::chrono;

// A daemon with two null sinks, "first" (the default) and "second", in a
// runtime folder of its own. Ended (SIGKILL) when the object goes, unless
// a test killed it already.
struct audioserver {
    tempdir runtime;
    pid_t pid = -1;

    audioserver()
    {
        std::vector<std::string> argv = {"/usr/bin/pulseaudio", "--daemonize=yes", "-n",
            "--exit-idle-time=-1", "--disallow-exit", "--log-target=file:" + runtime.path + "/log"};
        for (const char* name : {"first", "second"})
            argv.push_back(std::string("--load=module-null-sink rate=44100 channels=2 sink_name=") + name);
        argv.push_back("--load=module-native-protocol-unix");
        if (run(argv, runtime.path, env(), 30).status != 0)
            return;
        for (int tries = 0; tries < 100 && pactl({"info"}).status != 0; tries++)
            std::this_thread::sleep_for(milliseconds(100));
        std::string p = readfile(runtime.path + "/pulse/pid");
        if (!p.empty())
            pid = std::stoi(p);
    }
    ~audioserver()
    {
        if (pid > 0)
            kill(pid, SIGKILL);
    }
    // What a client of this server needs in its environment.
    std::vector<std::string> env() const { return {"XDG_RUNTIME_DIR=" + runtime.path, "-PULSE_SERVER"}; }
    outcome pactl(std::vector<std::string> args) const
    {
        args.insert(args.begin(), "/usr/bin/pactl");
        return run(args, runtime.path, env(), 10);
    }
    // The first field of the `pactl list short WHAT` line that holds `word`.
    std::string index(const std::string& what, const std::string& word) const
    {
        std::string list = pactl({"list", "short", what}).out;
        size_t at = list.find(word);
        if (at == std::string::npos)
            return "";
        size_t line = list.rfind('\n', at);
        line = line == std::string::npos ? 0 : line + 1;
        return list.substr(line, list.find('\t', line) - line);
    }
    // The sink the first playing stream is on (its index), or "".
    std::string streamsink() const
    {
        std::string list = pactl({"list", "short", "sink-inputs"}).out;
        size_t from = list.find('\t');
        if (from == std::string::npos)
            return "";
        return list.substr(from + 1, list.find('\t', from + 1) - from - 1);
    }
};

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

// The stream sits on the first sink; that sink is unloaded 5 s in and the
// server moves the stream to the second. The whole show plays on: "zOT!"
// and status 0 after its 104 s, not sooner.
TEST(SoundLoss, StreamMovedToAnotherSinkPlaysOn)
{
    audioserver server;
    ASSERT_GT(server.pid, 0) << readfile(server.runtime.path + "/log");
    auto start = steady_clock::now();
    showrun run(server);
    std::this_thread::sleep_for(seconds(5));
    std::string first = server.index("sinks", "\tfirst\t");
    std::string second = server.index("sinks", "\tsecond\t");
    ASSERT_EQ(server.streamsink(), first) << "the show plays on the first sink";
    ASSERT_EQ(server.pactl({"unload-module", server.index("modules", "sink_name=first")}).status, 0);
    std::this_thread::sleep_for(seconds(1));
    EXPECT_EQ(server.streamsink(), second) << "the stream was moved";
    outcome r = run.show.wait(200);
    double took = duration<double>(steady_clock::now() - start).count();
    EXPECT_FALSE(r.timedout);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "zOT!");
    EXPECT_GT(took, 103);
}
