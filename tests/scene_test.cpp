// The timed scene's open and close hooks, driven by setting the show clock.
#include "demo/demo.h"
#include "scenes/scene.h"

#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

// Records each hook with the clock and the flags as the hook saw them.
class recorder : public scene {
public:
    std::vector<std::string> log;
    std::function<void()> oninit = [] {};
    bool* destroyed = nullptr;

    recorder(std::int32_t from, std::int32_t to)
    {
        start = from;
        end = to;
    }
    ~recorder()
    {
        if (destroyed)
            *destroyed = true;
    }
    void draw() override {}
    void init() override
    {
        note("init");
        oninit();
    }
    void cleanup() override { note("cleanup"); }

private:
    void note(const char* hook)
    {
        log.push_back(std::string(hook) + " t=" + std::to_string(demo::time)
                      + " started=" + std::to_string(started) + " finished=" + std::to_string(finished));
    }
};

static bool at(scene& s, std::int32_t t)
{
    demo::time = t;
    return s.sleeping();
}

TEST(Scene, OpensAtStartAndClosesAfterEnd)
{
    recorder s(1700, 3500);
    EXPECT_TRUE(at(s, 1699));
    EXPECT_TRUE(s.log.empty());
    EXPECT_FALSE(s.started);

    EXPECT_FALSE(at(s, 1700));
    EXPECT_EQ(s.log, (std::vector<std::string>{"init t=1700 started=1 finished=0"}));
    EXPECT_FALSE(at(s, 1700));
    EXPECT_FALSE(at(s, 3500)) << "the end is inclusive";
    EXPECT_EQ(s.log.size(), 1u);

    EXPECT_TRUE(at(s, 3501));
    EXPECT_EQ(s.log.back(), "cleanup t=3501 started=1 finished=1");
    EXPECT_TRUE(at(s, 3502));
    EXPECT_TRUE(at(s, 100000));
    EXPECT_EQ(s.log.size(), 2u) << "each hook runs once";
}

TEST(Scene, FirstCallPastTheEndRunsBothHooksInOrder)
{
    recorder s(1700, 3500);
    EXPECT_TRUE(at(s, 5000));
    EXPECT_EQ(s.log, (std::vector<std::string>{"init t=5000 started=1 finished=0",
                                               "cleanup t=5000 started=1 finished=1"}));
    EXPECT_TRUE(at(s, 5001));
    EXPECT_EQ(s.log.size(), 2u);
}

TEST(Scene, ReadsTheClockAgainAfterTheOpenHook)
{
    recorder slow(1700, 3500);
    slow.oninit = [] { demo::time = 3600; };
    EXPECT_TRUE(at(slow, 1700));
    EXPECT_EQ(slow.log, (std::vector<std::string>{"init t=1700 started=1 finished=0",
                                                  "cleanup t=3600 started=1 finished=1"}));

    recorder quick(1700, 3500);
    quick.oninit = [] { demo::time = 3500; };
    EXPECT_FALSE(at(quick, 1700));
    EXPECT_EQ(quick.log.size(), 1u);
}

TEST(Scene, DeletesThroughTheBase)
{
    bool destroyed = false;
    recorder* s = new recorder(0, 1);
    s->destroyed = &destroyed;
    scene* base = s;
    delete base;
    EXPECT_TRUE(destroyed);
}
