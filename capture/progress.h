// Progress of a capture on standard error: frames done of all, frames per
// second, and the time left at that rate.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace capture {

// "frame 1234/6240 (19.8%), 57.3 frames/s, 1:27 left", from the frames
// done and the seconds they took. Before a rate is known the time left
// reads "--:--".
std::string progressline(std::int64_t done, std::int64_t total, double seconds);

class progress {
public:
    explicit progress(std::int64_t total);
    // After each frame. On a terminal the line is rewritten in place a few
    // times a second; otherwise a new line is written every five seconds.
    void update(std::int64_t done);
    // The final line, with the rate over the whole capture.
    void finish(std::int64_t done);

private:
    std::int64_t total;
    bool terminal;
    std::chrono::steady_clock::time_point begun, shown;
    double elapsed() const;
};

}
