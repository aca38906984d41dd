// Damaged soundtracks through the real binary: a soundtrack libvorbisfile
// refuses ends start-up with the exact message; any other keeps the show
// drawing past the damage until a held Escape ends it cleanly.
#include "support/damage.h"
#include "sound/sound.h"
#include "support/oggmaker.h"
#include "support/runner.h"
#include "support/xwindow.h"

#include <chrono>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>

struct damagedshow {
    tempdir dir;
    std::string log = dir.path + "/probe.log";
    std::string soundtrack = dir.path + "/" + sound::soundtrack;
    explicit damagedshow(const oggbytes& bytes)
    {
        mkdir((dir.path + "/data").c_str(), 0755);
        writefile(soundtrack, bytes);
    }
    std::vector<std::string> env(const xserver& x) const
    {
        return {x.env(), "LD_PRELOAD=" PROBE, "PROBE_LOG=" + log};
    }
    int swaps() const { return countlines(readfile(log), "swap"); }
};

TEST(DamagedRun, SoundtrackCutInsideItsHeadersIsRefused)
{
    xserver x({});
    ASSERT_TRUE(x.ok());
    oggbytes whole = makeogg(3);
    size_t headers = headerbytes(whole);
    for (size_t cut : {size_t(58), headers / 2, headers - 1}) {
        damagedshow show(truncated(whole, cut));
        ASSERT_LT(decodedbytes(show.soundtrack), 0) << "libvorbisfile opens a cut at " << cut;
        outcome r = run({DEMOPLAYER}, show.dir.path, show.env(x), 30);
        EXPECT_EQ(r.status, 1) << cut;
        EXPECT_EQ(r.out, "fuck, problemer med vorbisfile \\: \n") << cut;
        EXPECT_EQ(show.swaps(), 0) << cut;
        EXPECT_EQ(countlines(readfile(show.log), "pcm"), 0) << cut;
    }
}

TEST(DamagedRun, OpenedSoundtrackPlaysPastItsDamageUntilEscape)
{
    xserver x({});
    ASSERT_TRUE(x.ok());
    oggbytes whole = makeogg(2);
    oggbytes chain = makeogg(1, sound::rate, 2, 1);
    oggbytes second = makeogg(1, sound::rate, 2, 2);
    chain.insert(chain.end(), second.begin(), second.end());
    // Each plays out within 2 s of device time.
    const std::vector<std::pair<std::string, oggbytes>> cases = {
        {"cut after the headers", truncated(whole, headerbytes(whole))},
        {"cut at 60%", truncated(whole, whole.size() * 6 / 10)},
        {"bits flipped", flipped(whole, 3, 6, headerbytes(whole))},
        {"damaged packets", corrupted(whole, 5, 6)},
        {"garbage appended", withgarbage(whole, 7, 70000)},
        {"two chained streams", chain},
        {"mono, odd length", makeogg(2.00002, sound::rate, 1)},
        {"48 kHz", makeogg(1.5, 48000, 2)},
    };
    for (const auto& [what, bytes] : cases) {
        damagedshow show(bytes);
        ASSERT_GE(decodedbytes(show.soundtrack), 0) << what << " is refused";
        child c({DEMOPLAYER}, show.dir.path, show.env(x));
        for (int i = 0; i < 500 && show.swaps() < 10; i++)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        ASSERT_GE(show.swaps(), 10) << what;
        // Long enough for the music thread to reach the damage and the end.
        std::this_thread::sleep_for(std::chrono::seconds(2));
        int before = show.swaps();
        for (int i = 0; i < 500 && show.swaps() < before + 10; i++)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        EXPECT_GE(show.swaps(), before + 10) << what << ": the show stopped drawing";
        outcome r = escapeend(c, x.display);
        EXPECT_FALSE(r.timedout) << what;
        EXPECT_EQ(r.status, 0) << what;
        EXPECT_EQ(r.out, "zOT!") << what;
    }
}
