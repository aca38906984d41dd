// Checks the committed soundtrack, data/lyd.ogg: its format and level, and
// that its kicks and section changes sit on the 97 BPM grid the picture
// follows. The file is decoded once, with ov_read as the show decodes it.
#include "sound/sound.h"

#include <gtest/gtest.h>
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr int kRate = sound::rate;
constexpr double kBpm = 97;
constexpr long kWindow = kRate / 100;  // 10 ms energy windows
const std::string kPath = std::string(SOURCE_DIR) + "/" + sound::soundtrack;

// First sample of beat k (fractional k for points between beats).
long beat_at(double k) { return std::lround(k * kRate * 60.0 / kBpm); }

struct Track {
  bool opened = false;
  long rate = 0;
  int channels = 0;
  double seconds = 0;
  long frames = 0;            // as the stream header reports
  std::vector<int16_t> pcm;   // interleaved, as decoded
  std::vector<float> mono;    // mean of the first two channels
};

const Track& track() {
  static const Track decoded = [] {
    Track t;
    OggVorbis_File vf;
    if (ov_fopen(kPath.c_str(), &vf) != 0) return t;
    t.opened = true;
    const vorbis_info* vi = ov_info(&vf, -1);
    t.rate = vi->rate;
    t.channels = vi->channels;
    t.seconds = ov_time_total(&vf, -1);
    t.frames = static_cast<long>(ov_pcm_total(&vf, -1));
    char buf[16384];
    int bitstream = 0;
    long n;
    // 16-bit signed little-endian, the show's format.
    while ((n = ov_read(&vf, buf, sizeof buf, 0, 2, 1, &bitstream)) > 0) {
      for (long i = 0; i + 1 < n; i += 2) {
        const auto lo = static_cast<unsigned char>(buf[i]);
        const auto hi = static_cast<unsigned char>(buf[i + 1]);
        t.pcm.push_back(static_cast<int16_t>(static_cast<uint16_t>(lo | hi << 8)));
      }
    }
    ov_clear(&vf);
    if (t.channels >= 2)
      for (size_t i = 0; i + 1 < t.pcm.size(); i += t.channels)
        t.mono.push_back(0.5f * (t.pcm[i] + t.pcm[i + 1]) / 32768.0f);
    return t;
  }();
  return decoded;
}

// One-pole filter pair in series: 12 dB per octave beyond cutoff_hz.
struct TwoPole {
  float a, s1 = 0, s2 = 0;
  explicit TwoPole(float cutoff_hz) : a(1 - std::exp(-2 * 3.14159265f * cutoff_hz / kRate)) {}
  float low(float x) {
    s1 += a * (x - s1);
    s2 += a * (s1 - s2);
    return s2;
  }
  float high(float x) {
    s1 += a * (x - s1);
    const float y = x - s1;
    s2 += a * (y - s2);
    return y - s2;
  }
};

// Energy of the mono mix in consecutive 10 ms windows, high-passed at
// high_hz and low-passed at low_hz (0 leaves that side open).
std::vector<double> window_energy(float high_hz, float low_hz) {
  const std::vector<float>& x = track().mono;
  TwoPole hp(high_hz > 0 ? high_hz : 1), lp(low_hz > 0 ? low_hz : 1);
  std::vector<double> e(x.size() / kWindow);
  for (size_t i = 0; i < e.size() * kWindow; ++i) {
    float y = x[i];
    if (high_hz > 0) y = hp.high(y);
    if (low_hz > 0) y = lp.low(y);
    e[i / kWindow] += static_cast<double>(y) * y;
  }
  return e;
}

const std::vector<double>& kick_energy() {
  static const std::vector<double> e = window_energy(0, 150);
  return e;
}

// Largest jump in low-passed energy over windows starting within 15 ms of
// sample `at`: a window's energy over the mean of the five before it. The
// mean spans 50 ms, two periods of the lowest bass notes, so a bass note
// alone does not read as a jump.
double rise_near(long at) {
  const std::vector<double>& e = kick_energy();
  const long tol = kRate * 15 / 1000;
  double best = 0;
  for (long w = std::max(5L, (at - tol) / kWindow); w * kWindow <= at + tol; ++w) {
    if (w >= static_cast<long>(e.size())) break;
    const double before = (e[w - 1] + e[w - 2] + e[w - 3] + e[w - 4] + e[w - 5]) / 5;
    best = std::max(best, e[w] / (before + 1e-3));
  }
  return best;
}

// Mean window energy over the beats [from, to).
double mean_energy(const std::vector<double>& e, double from, double to) {
  const long a = beat_at(from) / kWindow, b = beat_at(to) / kWindow;
  double sum = 0;
  for (long w = a; w < b; ++w) sum += e[w];
  return sum / (b - a);
}

TEST(Soundtrack, IsStereoVorbisAt44100LongEnoughForTheShow) {
  const Track& t = track();
  ASSERT_TRUE(t.opened) << kPath;
  EXPECT_EQ(t.rate, kRate);
  EXPECT_EQ(t.channels, 2);
  EXPECT_GE(t.seconds, 104.0);
  EXPECT_GE(t.frames, 104L * kRate);
  // The whole stream decodes, to as many frames as the header promises.
  EXPECT_EQ(static_cast<long>(t.pcm.size()), t.frames * t.channels);
}

TEST(Soundtrack, DecodedPeakStaysBelowMinusOneDbfs) {
  const Track& t = track();
  ASSERT_FALSE(t.pcm.empty());
  int peak = 0;
  for (int16_t s : t.pcm) peak = std::max(peak, std::abs(static_cast<int>(s)));
  EXPECT_LE(peak, 29204);  // 32767 at -1 dBFS
  EXPECT_GT(peak, 16384);  // and not needlessly quiet (above -6 dBFS)
}

TEST(Soundtrack, KicksLandOnTheBeatGridAndNotBetween) {
  ASSERT_GT(track().mono.size(), static_cast<size_t>(beat_at(161)));
  for (int beat : {1, 8, 41, 73, 105, 137, 160})
    EXPECT_GT(rise_near(beat_at(beat)), 10.0) << "no kick at beat " << beat;
  for (double half : {20.5, 50.5, 80.5, 110.5, 150.5})
    EXPECT_LT(rise_near(beat_at(half)), 3.0) << "onset between beats at " << half;
}

TEST(Soundtrack, SectionsChangeOnTheirBeatsAndTheEndIsSilent) {
  ASSERT_GT(track().mono.size(), static_cast<size_t>(beat_at(170)));
  const std::vector<double> hats = window_energy(6000, 0);
  const std::vector<double> mids = window_energy(500, 3000);
  // Hats come in at 7, stop for the breakdown at 72 and return at 104.
  EXPECT_GT(mean_energy(hats, 7, 9), 5 * mean_energy(hats, 5, 7));
  EXPECT_LT(5 * mean_energy(hats, 72, 74), mean_energy(hats, 70, 72));
  EXPECT_GT(mean_energy(hats, 104, 106), 5 * mean_energy(hats, 102, 104));
  // Chord stabs and a brighter pad arrive at 40.
  EXPECT_GT(mean_energy(mids, 40, 42), 2 * mean_energy(mids, 38, 40));

  // Faded out 3 s after beat 168: below -60 dBFS to the end.
  const std::vector<float>& x = track().mono;
  const size_t from = beat_at(168) + 3 * kRate;
  ASSERT_LT(from + kRate / 2, x.size());
  double sum = 0;
  for (size_t i = from; i < x.size(); ++i) sum += static_cast<double>(x[i]) * x[i];
  EXPECT_LT(std::sqrt(sum / (x.size() - from)), 1e-3);
}

}  // namespace
