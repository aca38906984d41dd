// A piece of the show active in a window of clock time, with hooks that run
// once when the window opens and once when it closes.
#pragma once

#include <cstdint>

class scene {
public:
    bool started = false;   // init() has run
    bool finished = false;  // cleanup() has run
    std::int32_t start = 0; // first clock value of the active window
    std::int32_t end = 0;   // last clock value, inclusive

    virtual void draw() = 0;    // calls sleeping() first
    virtual void init() = 0;    // the open hook
    virtual void cleanup() = 0; // the close hook
    virtual ~scene() = default;

    // True when the scene must not draw at demo::time. Runs init() on the
    // first call at or after `start` and cleanup() on the first call past
    // `end`, each at most once, its flag set before it runs.
    bool sleeping();
};
