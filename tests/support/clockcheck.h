// The show clock as the clockrun helper prints it, and the checks that it
// follows the sound device: shared by the device and load tests.
#pragma once

#include <alsa/asoundlib.h>
#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct sample {
    double seconds;     // since the first sample
    long clock;
    double at;          // CLOCK_MONOTONIC, seconds: comparable across processes
};

// Runs `clockrun` on an 8 s tone for 4 s with `env` added to ours; the
// clock it read every 10 ms.
std::vector<sample> playclock(const std::string& clockrun, const std::vector<std::string>& env);

// GoogleTest failures unless the clock starts near 0, never steps back,
// grows at the device's rate once it has started, and stays behind the
// wall clock by no more than the device's buffer and start-up. For an
// otherwise idle machine: the wall clock stands in for the device's pace.
void checkfollows(const std::vector<sample>& s);

// The audio server's own pace: its default capture device (the null sink's
// monitor under the headless servers) read by a thread of ours. However
// slowly a starved server plays, the monitor delivers exactly what it
// played; each piece is stamped with what was read plus what still waits
// to be read, so a reader that is itself kept waiting loses no time.
class serverpace {
public:
    serverpace();       // starts reading; returns once the first piece came
    ~serverpace();
    void stop();
    // Whether the monitor could be opened for 16-bit stereo. trouble is
    // empty when the pace is known; else why not (no capture device, or
    // the reader fell behind and lost pieces).
    bool opened = false;
    std::string trouble;
    // Clock units of sound the server played between two CLOCK_MONOTONIC
    // moments, as far as the pieces that had arrived by then tell.
    double played(double from, double to) const;

private:
    snd_pcm_t* pcm = nullptr;
    std::thread reader;
    std::atomic<bool> running{false};
    mutable std::mutex lock;
    std::vector<sample> pieces;     // clock: units played since reading began
    void read();
    double at(double moment) const;
};

// For a machine under load: the clock starts near 0, never steps back, and
// grows at the pace the server actually played (within 10%): a music
// thread that cannot keep the device fed stalls the clock while the
// server plays on. Whatever starves the server slows both alike, so only
// the program's own faults show. (How far the clock trails the device is
// checked on an idle machine, by checkfollows.)
void checkfollowsserver(const std::vector<sample>& s, const serverpace& server);
