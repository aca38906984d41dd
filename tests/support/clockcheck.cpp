#include "clockcheck.h"

#include "oggmaker.h"
#include "runner.h"

#include "sound/sound.h"

#include <chrono>
#include <gtest/gtest.h>
#include <sstream>

static double monotonic()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

std::vector<sample> playclock(const std::string& clockrun, const std::vector<std::string>& env)
{
    tempdir dir;
    writefile(dir.path + "/tone.ogg", makeogg(8));
    outcome r = run({clockrun, dir.path + "/tone.ogg", "4"}, dir.path, env, 30);
    EXPECT_EQ(r.status, 0) << r.out.substr(0, 200);
    std::vector<sample> samples;
    std::istringstream in(r.out);
    long long first = -1, ns;
    long clock;
    while (in >> ns >> clock) {
        if (first < 0)
            first = ns;
        samples.push_back({(ns - first) / 1e9, clock, ns / 1e9});
    }
    return samples;
}

// The run covered its 4 s, starting near 0 and never stepping back. How
// many 10 ms samples fit in them depends on how busy the machine is: a few
// dozen are enough to judge.
static void checkshape(const std::vector<sample>& s)
{
    ASSERT_GT(s.size(), 30u);
    ASSERT_GE(s.back().seconds, 3.5);
    EXPECT_LT(s.front().clock, 500) << "starts near 0";
    for (size_t i = 1; i < s.size(); i++)
        ASSERT_GE(s[i].clock, s[i - 1].clock) << "stepped back at sample " << i;
}

// The first sample a second or more into the run: the device has started.
static const sample& started(const std::vector<sample>& s)
{
    for (const sample& x : s)
        if (x.seconds >= 1)
            return x;
    return s.back();
}

void checkfollows(const std::vector<sample>& s)
{
    checkshape(s);
    if (testing::Test::HasFatalFailure())
        return;
    // After the device has started, played time grows with wall time:
    // within a loose 10% of 1616.67 units per second...
    const sample& a = started(s);
    const sample& b = s.back();
    double rate = (b.clock - a.clock) / (b.seconds - a.seconds);
    EXPECT_NEAR(rate, 1616.67, 161.7);
    // ...and no further behind the wall clock than the device's buffer
    // and start-up, never ahead of it.
    EXPECT_LE(b.clock, (b.seconds + 0.05) * 1616.67);
    EXPECT_GE(b.clock, (b.seconds - 0.8) * 1616.67);
}

// 10 ms pieces; a 200 ms buffer in the client, so that a reader that is
// itself kept waiting loses nothing.
enum { piece = sound::rate / 100, buffered = 200000 };

serverpace::serverpace()
{
    if (snd_pcm_open(&pcm, "default", SND_PCM_STREAM_CAPTURE, 0) < 0) {
        pcm = nullptr;
        trouble = "no capture device";
        return;
    }
    if (snd_pcm_set_params(pcm, SND_PCM_FORMAT_S16_LE, SND_PCM_ACCESS_RW_INTERLEAVED, 2, sound::rate, 1,
                           buffered) < 0) {
        trouble = "the capture device refused 16-bit stereo";
        return;
    }
    opened = true;
    running = true;
    reader = std::thread(&serverpace::read, this);
    for (int i = 0; i < 200 && at(monotonic()) == 0; i++)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

serverpace::~serverpace()
{
    stop();
    if (pcm)
        snd_pcm_close(pcm);
}

void serverpace::stop()
{
    running = false;
    if (reader.joinable())
        reader.join();
}

void serverpace::read()
{
    std::vector<short> buffer(piece * 2);
    long long frames = 0;
    while (running) {
        snd_pcm_sframes_t n = snd_pcm_readi(pcm, buffer.data(), piece);
        std::lock_guard<std::mutex> hold(lock);
        if (n < 0) {
            trouble = std::string("the capture lost sound: ") + snd_strerror(static_cast<int>(n));
            if (snd_pcm_recover(pcm, static_cast<int>(n), 1) < 0)
                return;
            continue;
        }
        frames += n;
        // What the server has played by now: what we read, and what waits
        // for us (however long we were kept from reading it).
        snd_pcm_sframes_t waiting = 0;
        if (snd_pcm_delay(pcm, &waiting) < 0 || waiting < 0)
            waiting = 0;
        pieces.push_back({0, static_cast<long>((frames + waiting) * 1616.6667 / sound::rate), monotonic()});
    }
}

double serverpace::at(double moment) const
{
    std::lock_guard<std::mutex> hold(lock);
    double units = 0;
    for (const sample& p : pieces)
        if (p.at <= moment)
            units = p.clock;
    return units;
}

double serverpace::played(double from, double to) const
{
    return at(to) - at(from);
}

void checkfollowsserver(const std::vector<sample>& s, const serverpace& server)
{
    checkshape(s);
    if (testing::Test::HasFatalFailure())
        return;
    // A monitor that cannot be opened is a fault of the test's setup and
    // fails; one that lost pieces because its reader was starved (the
    // cores are kept busy on purpose) leaves the pace unknown, which is
    // said, not judged.
    ASSERT_TRUE(server.opened) << "no witness: " << server.trouble;
    if (!server.trouble.empty())
        GTEST_SKIP() << "the server's pace is unknown (" << server.trouble << "); the clock started and never stepped back";
    const sample& a = started(s);
    const sample& b = s.back();
    double heard = server.played(a.at, b.at);
    ASSERT_GT(heard, 0) << "the server played nothing in " << b.seconds - a.seconds << " s";
    testing::Test::RecordProperty("clock_per_server", std::to_string((b.clock - a.clock) / heard));
    testing::Test::RecordProperty("server_per_wall", std::to_string(heard / 1616.67 / (b.at - a.at)));
    EXPECT_NEAR((b.clock - a.clock) / heard, 1, 0.1)
        << "the clock grew " << b.clock - a.clock << " units while the server played " << heard;
}
