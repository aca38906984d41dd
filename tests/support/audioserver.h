// A PulseAudio server of a test's own, so the server test.sh started is
// never touched: two null sinks, "first" (the default) and "second", in a
// runtime folder of its own. Ended (SIGKILL) when the object goes, unless
// a test killed it already (and set `pid` to -1).
#pragma once

#include "support/runner.h"

#include <string>
#include <vector>

struct audioserver {
    audioserver();
    ~audioserver();
    tempdir runtime;
    pid_t pid = -1;     // the daemon; -1 when it did not start

    // What a client of this server needs in its environment.
    std::vector<std::string> env() const;
    outcome pactl(std::vector<std::string> args) const;
    // The first field of the `pactl list short WHAT` line that holds `word`.
    std::string index(const std::string& what, const std::string& word) const;
    // The sink the first playing stream is on (its index), or "".
    std::string streamsink() const;
};
