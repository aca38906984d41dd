// The show clock as the clockrun helper prints it, and the check that it
// follows the sound device: shared by the device and load tests.
#pragma once

#include <string>
#include <vector>

struct sample {
    double seconds;     // since the first sample
    long clock;
};

// Runs `clockrun` on an 8 s tone for 4 s with `env` added to ours; the
// clock it read every 10 ms.
std::vector<sample> playclock(const std::string& clockrun, const std::vector<std::string>& env);

// GoogleTest failures unless the clock starts near 0, never steps back,
// grows at the device's rate once it has started, and stays behind the
// wall clock by no more than the device's buffer and start-up.
void checkfollows(const std::vector<sample>& s);
