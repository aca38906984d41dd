// The Windows sound device (win/sound.cpp) built natively against the fake
// Windows headers in tests/win/fake/ and a waveOut that records what it is
// given and answers as each case scripts it: writes that fail for a while
// or for good, buffers never played, a position that restarts, jitters
// back or comes in milliseconds, pieces that split frames, a stream ending
// on half a frame, and the process ending while the music thread is
// blocked writing. Under Wine none of these can be
// made to happen.
//
// win/sound.cpp keeps its device in statics and registers an exit
// handler, so each case runs in a child process of its own and reports
// back through a pipe, including what happened during its exit.
#include "win/scriptedwaveout.h"

#include "demo/demo.h"
#include "sound/sound.h"

#include <chrono>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <mutex>
#include <csignal>
#include <poll.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace std::chrono;

// The definitions win/sound.cpp needs from the show.
FILE* demo::dsp;
std::atomic<std::uint32_t> demo::written;

// The music thread's part: `total` bytes of a pattern that shows any byte
// lost, repeated or moved, written in pieces of the sizes given in turn.
// With `pause` set it waits that long after a piece that ends inside a
// frame: the pipe then stays empty past `patience` with half a frame in it.
static std::string pattern(std::size_t total)
{
    std::string p(total, '\0');
    for (std::size_t i = 0; i < total; i++)
        p[i] = static_cast<char>(i * 7 + i / 509);
    return p;
}

static void writer(std::string bytes, std::vector<std::size_t> pieces, milliseconds pause)
{
    for (std::size_t at = 0, k = 0; at < bytes.size(); k++) {
        std::size_t n = std::min(pieces[k % pieces.size()], bytes.size() - at);
        demo::written.fetch_add(static_cast<std::uint32_t>(std::fwrite(&bytes[at], 1, n, demo::dsp)));
        at += n;
        if (at % 4)
            std::this_thread::sleep_for(pause);
    }
}

// What a case found, reported from its child: its own findings, then, from
// the exit handler registered before the device's (so it runs after it),
// what the device saw during the exit.
static int report = -1;

static void reportexit()
{
    std::lock_guard<std::mutex> hold(device.lock);
    std::string s = " | exit: closed " + std::to_string(device.closes) + ", overwritten "
        + std::to_string(device.overwritten) + "\n";
    if (write(report, s.data(), s.size()) < 0)
        _exit(2);
}

// Runs `body` in a child with the device opened; returns its report and
// the seconds its exit took.
static std::string inchild(const std::function<std::string()>& body, double* exitseconds)
{
    int ends[2];
    if (pipe(ends) != 0)
        return "no pipe";
    pid_t pid = fork();
    if (pid == 0) {
        close(ends[0]);
        report = ends[1];
        std::atexit(reportexit);
        std::string s = sound::opendsp() ? body() : "opendsp failed";
        s += "\n";
        if (write(report, s.data(), s.size()) < 0)
            _exit(2);
        std::exit(0);
    }
    close(ends[1]);
    // A case that hangs is ended after 30 s and says so.
    std::string got;
    char buf[512];
    steady_clock::time_point reported;
    auto deadline = steady_clock::now() + seconds(30);
    for (;;) {
        pollfd p = {ends[0], POLLIN, 0};
        if (poll(&p, 1, 100) > 0) {
            ssize_t n = read(ends[0], buf, sizeof buf);
            if (n <= 0)
                break;
            if (got.find('\n') == std::string::npos)
                reported = steady_clock::now();
            got.append(buf, static_cast<std::size_t>(n));
        } else if (steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            got += " | timed out";
            break;
        }
    }
    int status = 0;
    waitpid(pid, &status, 0);
    *exitseconds = duration<double>(steady_clock::now() - reported).count();
    close(ends[0]);
    return got + (WIFEXITED(status) && WEXITSTATUS(status) == 0 ? "" : " | child failed");
}

// Waits up to `seconds` for `done`.
static bool within(double seconds, const std::function<bool()>& done)
{
    auto until = steady_clock::now() + duration_cast<steady_clock::duration>(duration<double>(seconds));
    while (!done()) {
        if (steady_clock::now() > until)
            return false;
        std::this_thread::sleep_for(milliseconds(2));
    }
    return true;
}

static std::size_t played()
{
    std::lock_guard<std::mutex> hold(device.lock);
    return device.sound.size();
}

static std::string yes(bool b)
{
    return b ? "yes" : "no";
}

// Plays `total` bytes written in `pieces` and waits until the device has
// played their whole frames: whether it got them all, in order, in whole
// frames; half a frame at the end is never played, as natively. The
// last, short buffer must go out while the 200 ms queued before it still
// play: `patience` (20 ms) timed by a clock is 20 to 36 ms with Windows'
// 15.6 ms sleeps, while 20 sleeps counted would be 312 ms at least.
static std::string playall(std::size_t total, std::vector<std::size_t> pieces, milliseconds pause)
{
    std::string bytes = pattern(total);
    std::thread music(writer, bytes, pieces, pause);
    music.join();
    auto written = steady_clock::now();
    bytes.resize(total - total % 4);
    bool all = within(20, [&] { return played() >= bytes.size(); });
    double tail = duration<double>(steady_clock::now() - written).count();
    std::lock_guard<std::mutex> hold(device.lock);
    return "played in order " + yes(all && device.sound == bytes) + ", odd buffers "
        + std::to_string(device.oddbuffers) + ", tail in time " + yes(tail < 0.25) + ", lost "
        + yes(sound::lost());
}

TEST(WinSound, EveryByteInOrderInWholeFramesWhateverThePipeSplits)
{
    double exiting;
    for (std::size_t total : {100000, 100002}) {
        std::string r = inchild([total] { return playall(total, {4097, 3, 1, 4095, 2, 1002, 6}, milliseconds(60)); }, &exiting);
        EXPECT_EQ(r, "played in order yes, odd buffers 0, tail in time yes, lost no\n | exit: closed 1, overwritten 0\n") << total;
        EXPECT_LT(exiting, 3.0);
    }
}

// The clock's side: what the main thread takes as played (written minus
// queued) never steps back, never passes what the device has played, and
// ends at what it played (exactly, when counted in bytes), when the
// device's count restarts at 0 midway (Windows moving the stream to
// another output), when it jitters back 4 bytes every other reading, and
// when the driver counts only in milliseconds.
static std::string playedbytes(UINT answers, std::uint32_t dropat, std::uint32_t jitter)
{
    {
        std::lock_guard<std::mutex> hold(device.lock);
        device.answers = answers;
        device.dropat = dropat;
        device.jitter = jitter;
    }
    const std::size_t total = 400000;
    std::thread music(writer, pattern(total), std::vector<std::size_t>{4096}, milliseconds(0));
    std::uint32_t last = 0, back = 0, ahead = 0;
    // A reading that a write overlapped is left out: the count it used is
    // not known.
    auto sample = [&] {
        std::uint32_t w = demo::written.load();
        std::uint32_t q = sound::queued();
        if (demo::written.load() != w)
            return;
        std::uint32_t p = w - q;
        ahead += p > played();
        back += p < last;
        last = p;
    };
    within(20, [&] {
        sample();
        return played() >= total;
    });
    music.join();
    sample();
    std::uint32_t missing = static_cast<std::uint32_t>(total) - last;
    // A millisecond is 176.4 bytes: a count in milliseconds may trail by
    // one, and by one more for the count before a restart.
    std::uint32_t allowed = answers == TIME_MS ? (dropat ? 360 : 180) : 0;
    return "steps back " + std::to_string(back) + ", ahead " + std::to_string(ahead) + ", trails by no more than allowed "
        + yes(missing <= allowed) + " (" + std::to_string(missing) + " bytes)";
}

TEST(WinSound, PositionThatRestartsJittersOrComesInMillisecondsIsCarriedOn)
{
    double exiting;
    struct {
        UINT answers;
        std::uint32_t dropat, jitter;
    } cases[] = {{TIME_BYTES, 0, 0}, {TIME_BYTES, 100000, 0}, {TIME_BYTES, 0, 4},
                 {TIME_MS, 0, 0}, {TIME_MS, 150000, 0}};
    for (auto c : cases) {
        std::string r = inchild([c] { return playedbytes(c.answers, c.dropat, c.jitter); }, &exiting);
        EXPECT_EQ(r.substr(0, r.find(" (")), "steps back 0, ahead 0, trails by no more than allowed yes")
            << "counted in " << (c.answers == TIME_MS ? "ms" : "bytes") << ", dropping at " << c.dropat
            << ", jitter " << c.jitter << ": " << r;
    }
}

// Writes refused for 150 ms pass; refused for good, or queued and never
// played, the device is lost after `giveup` ms (resp. 2 s), the feeding
// thread leaves it (no more writes), and the process still ends promptly
// with the music thread writing.
static std::string losing(std::size_t after, steady_clock::duration refusing, bool stall)
{
    {
        std::lock_guard<std::mutex> hold(device.lock);
        device.refuseafter = after;
        device.refusefor = refusing;
        device.stalled = stall;
    }
    std::thread(writer, pattern(4000000), std::vector<std::size_t>{4096}, milliseconds(0)).detach();
    auto start = steady_clock::now();
    within(8, [] { return sound::lost(); });
    auto lost = steady_clock::now();
    int writes;
    steady_clock::time_point from;
    {
        std::lock_guard<std::mutex> hold(device.lock);
        writes = device.writes;
        from = stall ? start : device.refusefrom;
    }
    std::this_thread::sleep_for(milliseconds(200));
    std::lock_guard<std::mutex> hold(device.lock);
    double took = duration<double>(lost - from).count();
    return "lost " + yes(sound::lost()) + " after " + (took >= (stall ? 2.0 : sound::giveup / 1000.0) ? "enough" : "too little")
        + (took < (stall ? 6.0 : 3.0) ? "" : ", too late") + ", writes since " + std::to_string(device.writes - writes)
        + ", refused " + yes(device.refusals > 0);
}

TEST(WinSound, FailedWritesAndStuckBuffersLoseTheDeviceAndPassingOnesDoNot)
{
    double exiting;
    std::string r = inchild([] {
        {
            std::lock_guard<std::mutex> hold(device.lock);
            device.refuseafter = 50000;
            device.refusefor = milliseconds(150);
        }
        std::string s = playall(300000, {4096}, milliseconds(0));
        std::lock_guard<std::mutex> hold(device.lock);
        return s + ", refused " + yes(device.refusals > 0);
    }, &exiting);
    EXPECT_EQ(r, "played in order yes, odd buffers 0, tail in time yes, lost no, refused yes\n | exit: closed 1, overwritten 0\n");

    r = inchild([] { return losing(50000, steady_clock::duration::max(), false); }, &exiting);
    EXPECT_EQ(r, "lost yes after enough, writes since 0, refused yes\n | exit: closed 1, overwritten 0\n");
    EXPECT_LT(exiting, 3.0);

    r = inchild([] { return losing(~std::size_t(0), steady_clock::duration::max(), true); }, &exiting);
    EXPECT_EQ(r, "lost yes after enough, writes since 0, refused no\n | exit: closed 1, overwritten 0\n");
    EXPECT_LT(exiting, 3.0);
}

// The process ends while the device holds its buffers unplayed and the
// music thread is blocked on the full pipe: it ends promptly, the device
// is closed, and no buffer the device still held was written over.
TEST(WinSound, StoppingWhileTheMusicThreadWrites)
{
    double exiting;
    std::string r = inchild([] {
        {
            std::lock_guard<std::mutex> hold(device.lock);
            device.stalled = true;
        }
        std::thread(writer, pattern(4000000), std::vector<std::size_t>{4096}, milliseconds(0)).detach();
        std::this_thread::sleep_for(milliseconds(300));
        return "written " + std::to_string(demo::written.load()) + ", lost " + yes(sound::lost());
    }, &exiting);
    EXPECT_EQ(r.substr(r.find(", lost")), ", lost no\n | exit: closed 1, overwritten 0\n") << r;
    EXPECT_LT(exiting, 3.0);
}

// Under Wine (ntdll exports wine_get_version) the position is held back by
// the audio server's latency, 100 ms: once the device has played all that
// was written, 17640 bytes still count as queued. Elsewhere none do.
extern bool fakeunderwine;

TEST(WinSound, UnderWineThePositionIsHeldBackByTheServersLatency)
{
    double exiting;
    for (bool wine : {false, true}) {
        fakeunderwine = wine;
        std::string r = inchild([] {
            std::string s = playall(200000, {4096}, milliseconds(0));
            return s + ", queued " + std::to_string(sound::queued());
        }, &exiting);
        fakeunderwine = false;
        EXPECT_EQ(r.substr(0, r.find('\n')), "played in order yes, odd buffers 0, tail in time yes, lost no, queued "
                  + std::string(wine ? "17640" : "0")) << (wine ? "under Wine" : "not under Wine");
    }
}
