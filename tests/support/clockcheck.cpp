#include "clockcheck.h"

#include "oggmaker.h"
#include "runner.h"

#include <gtest/gtest.h>
#include <sstream>

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
        samples.push_back({(ns - first) / 1e9, clock});
    }
    return samples;
}

void checkfollows(const std::vector<sample>& s)
{
    // The run covered its 4 s. How many 10 ms samples fit in them depends
    // on how busy the machine is: a few dozen are enough to judge.
    ASSERT_GT(s.size(), 30u);
    ASSERT_GE(s.back().seconds, 3.5);
    EXPECT_LT(s.front().clock, 500) << "starts near 0";
    for (size_t i = 1; i < s.size(); i++)
        ASSERT_GE(s[i].clock, s[i - 1].clock) << "stepped back at sample " << i;
    // After the device has started, played time grows with wall time:
    // within a loose 10% of 1616.67 units per second...
    const sample* a = nullptr;
    for (const sample& x : s)
        if (!a && x.seconds >= 1)
            a = &x;
    const sample& b = s.back();
    double rate = (b.clock - a->clock) / (b.seconds - a->seconds);
    EXPECT_NEAR(rate, 1616.67, 161.7);
    // ...and no further behind the wall clock than the device's buffer
    // and start-up, never ahead of it.
    EXPECT_LE(b.clock, (b.seconds + 0.05) * 1616.67);
    EXPECT_GE(b.clock, (b.seconds - 0.8) * 1616.67);
}
