// Generates the show's soundtrack: 108 s of music in A minor at 97 beats per
// minute, written as Ogg Vorbis (44100 Hz, stereo). The picture changes at
// beats 7, 40, 72, 104, 136 and 168, and so does the arrangement.
// Usage: mksound out.ogg
#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "synth.h"

namespace {

constexpr double kBpm = 97;
constexpr long kFrames = 108L * kRate;
constexpr int kFadeBeat = 168;
constexpr float kFadeSeconds = 2.0f;
constexpr float kPeakDb = -1.5f;  // Vorbis overshoots a little; -1 dBFS decoded
constexpr float kQuality = 0.35f;
constexpr long kSerial = 97108;

// First sample of beat k (fractional k for off-beats), from sample 0.
long beat_at(double k) { return std::lround(k * kRate * 60.0 / kBpm); }

enum Section { kIntro, kGroove, kChords, kBreak, kFull, kTurn };

Section section(int beat) {
  if (beat < 7) return kIntro;
  if (beat < 40) return kGroove;
  if (beat < 72) return kChords;
  if (beat < 104) return kBreak;
  if (beat < 136) return kFull;
  return kTurn;
}

struct Chord {
  int notes[4];
  int n;
  int root;  // bass note
};
const Chord kAm{{57, 60, 64}, 3, 33}, kF{{53, 57, 60, 64}, 4, 29},
    kC{{55, 60, 64}, 3, 36}, kG{{55, 59, 62}, 3, 31}, kEm{{55, 59, 64}, 3, 28};
const Chord* const kVerse[4] = {&kAm, &kF, &kC, &kG};
const Chord* const kTurnaround[4] = {&kF, &kG, &kEm, &kAm};

// Chords last 8 beats in cycles of 32 starting at beat 8, so every section
// from beat 40 on opens with the first chord of its progression.
int cycle_pos(int beat) { return (beat + 24) % 32; }

const Chord& chord_at(int beat) {
  if (beat < 8) return kAm;
  const int i = cycle_pos(beat) / 8;
  return section(beat) == kTurn ? *kTurnaround[i] : *kVerse[i];
}

// Beats that start inside the track.
int beat_count() {
  static const int n = [] {
    int k = 0;
    while (beat_at(k) < kFrames) ++k;
    return k;
  }();
  return n;
}

long beat_len(int beat) { return beat_at(beat + 1) - beat_at(beat); }

// Kick on every beat; hats in eighths, then sixteenths, with open hats on the
// off-beats in the last section; none in the intro and the breakdown.
void drums(Stereo& out) {
  Noise noise{0x9e3779b9u};
  for (int b = 0; b < beat_count(); ++b) {
    kick(out, beat_at(b), 1.0f);
    const Section s = section(b);
    if (s == kIntro || s == kBreak) continue;
    const int steps = s == kGroove ? 2 : 4;
    for (int k = 0; k < steps; ++k) {
      const bool off = 2 * k == steps;
      const double at = b + static_cast<double>(k) / steps;
      if (off && s == kTurn)
        hat(out, beat_at(at), 0.22f, 0.1f, -0.3f, noise);
      else
        hat(out, beat_at(at), off ? 0.36f : k == 0 ? 0.2f : 0.12f, 0.03f, 0.3f, noise);
    }
  }
}

// One bass note per beat from the pickup at beat 7, resting in the breakdown.
void bassline(Stereo& out) {
  static const int kSteps[8] = {0, 0, 12, 0, 0, 0, 7, 12};
  for (int b = 7; b < beat_count(); ++b) {
    const Section s = section(b);
    if (s == kBreak) continue;
    const Chord& c = chord_at(b);
    bass(out, beat_at(b), beat_len(b) * 4 / 5, c.root + kSteps[cycle_pos(b) % 8], 0.34f,
         s == kGroove ? 280.0f : 450.0f);
  }
}

// Pads per chord: dark under the first groove, opening up when the chords
// come in and most of all in the breakdown.
void pads(Stereo& out) {
  static const float kGain[6] = {0.7f, 0.35f, 0.75f, 0.9f, 0.7f, 0.75f};
  static const float kCutoff[6] = {700, 500, 1600, 2200, 1800, 1500};
  for (int b = 0; b < beat_count(); b += 8) {
    const Chord& c = chord_at(b);
    const Section s = section(b);
    pad(out, beat_at(b), beat_at(b + 8) - beat_at(b), c.notes, c.n, kGain[s], kCutoff[s]);
  }
}

// Short chord stabs on every off-beat once the chords come in.
void stabs(Stereo& out) {
  for (int b = 40; b < beat_count(); ++b) {
    const Section s = section(b);
    if (s != kChords && s != kFull) continue;
    const Chord& c = chord_at(b);
    for (int k = 0; k < c.n; ++k)
      pluck(out, beat_at(b + 0.5), beat_len(b) / 5, c.notes[k], 0.13f, 0.15f,
            b % 2 ? 0.4f : -0.4f);
  }
}

// Lead: a melody over the verse chords (beat in cycle, length in beats, note)
// in the breakdown and the full section, and eighth-note arpeggios after it.
void lead(Stereo& out) {
  static const int kMelody[16][3] = {
      {0, 2, 76},  {2, 1, 74},  {3, 1, 72},  {4, 3, 69},  {8, 2, 72},  {10, 1, 69},
      {11, 1, 72}, {12, 3, 76}, {16, 2, 79}, {18, 1, 76}, {19, 1, 74}, {20, 3, 72},
      {24, 2, 74}, {26, 1, 71}, {27, 1, 67}, {28, 3, 71}};
  static const int kArp[8] = {0, 1, 2, 3, 2, 1, 0, 1};
  for (int b = 72; b < beat_count(); ++b) {
    const Section s = section(b);
    if (s == kBreak || s == kFull) {
      for (const auto& m : kMelody)
        if (m[0] == cycle_pos(b))
          pluck(out, beat_at(b), beat_at(b + m[1]) - beat_at(b), m[2], 0.26f, 0.6f, 0.0f);
    }
    if (s == kFull || s == kTurn) {
      const Chord& c = chord_at(b);
      for (int k = 0; k < 2; ++k) {
        const int i = kArp[(cycle_pos(b) % 4) * 2 + k];
        const int note = i < c.n ? c.notes[i] + 12 : c.notes[0] + 24;
        pluck(out, beat_at(b + 0.5 * k), beat_len(b) / 2, note, s == kFull ? 0.07f : 0.12f,
              0.12f, -0.25f);
      }
    }
  }
}

Stereo arrange() {
  Stereo music(kFrames), lead_bus(kFrames), mix(kFrames);
  bassline(music);
  pads(music);
  stabs(music);
  lead(lead_bus);
  echo(lead_bus, beat_at(0.75), 0.35f, 0.35f);
  for (long i = 0; i < kFrames; ++i) {
    music.l[i] += lead_bus.l[i];
    music.r[i] += lead_bus.r[i];
  }
  // Everything but the drums makes room for each kick.
  for (int b = 0; b < beat_count(); ++b) duck(music, beat_at(b), beat_len(b), 0.5f, 0.12f);
  drums(mix);
  const long fade_at = beat_at(kFadeBeat);
  float peak = 0;
  for (long i = 0; i < kFrames; ++i) {
    const float x = std::max(0.0f, 1 - (i - fade_at) / (kFadeSeconds * kRate));
    const float g = i < fade_at ? 1.0f : x * x;
    mix.l[i] = g * (0.8f * mix.l[i] + music.l[i]);
    mix.r[i] = g * (0.8f * mix.r[i] + music.r[i]);
    peak = std::max({peak, std::fabs(mix.l[i]), std::fabs(mix.r[i])});
  }
  const float scale = std::pow(10.0f, kPeakDb / 20) / peak;
  for (long i = 0; i < kFrames; ++i) {
    mix.l[i] *= scale;
    mix.r[i] *= scale;
  }
  return mix;
}

bool write_pages(ogg_stream_state* os, FILE* f, bool flush) {
  ogg_page og;
  while (flush ? ogg_stream_flush(os, &og) : ogg_stream_pageout(os, &og)) {
    if (fwrite(og.header, 1, og.header_len, f) != static_cast<size_t>(og.header_len) ||
        fwrite(og.body, 1, og.body_len, f) != static_cast<size_t>(og.body_len))
      return false;
  }
  return true;
}

bool encode(const Stereo& pcm, FILE* f) {
  vorbis_info vi;
  vorbis_info_init(&vi);
  if (vorbis_encode_init_vbr(&vi, 2, kRate, kQuality) != 0) return false;
  vorbis_comment vc;
  vorbis_comment_init(&vc);
  vorbis_dsp_state vd;
  vorbis_analysis_init(&vd, &vi);
  vorbis_block vb;
  vorbis_block_init(&vd, &vb);
  ogg_stream_state os;
  ogg_stream_init(&os, kSerial);
  ogg_packet id, comment, code;
  vorbis_analysis_headerout(&vd, &vc, &id, &comment, &code);
  ogg_stream_packetin(&os, &id);
  ogg_stream_packetin(&os, &comment);
  ogg_stream_packetin(&os, &code);
  bool ok = write_pages(&os, f, true);
  // Feed blocks of 4096 frames, then an empty write to mark the end.
  for (long at = 0; ok; at += 4096) {
    const long n = std::max(0L, std::min(4096L, pcm.frames() - at));
    if (n > 0) {
      float** buf = vorbis_analysis_buffer(&vd, n);
      std::copy(pcm.l.begin() + at, pcm.l.begin() + at + n, buf[0]);
      std::copy(pcm.r.begin() + at, pcm.r.begin() + at + n, buf[1]);
    }
    vorbis_analysis_wrote(&vd, n);
    while (ok && vorbis_analysis_blockout(&vd, &vb) == 1) {
      vorbis_analysis(&vb, nullptr);
      vorbis_bitrate_addblock(&vb);
      ogg_packet op;
      while (ok && vorbis_bitrate_flushpacket(&vd, &op)) {
        ogg_stream_packetin(&os, &op);
        ok = write_pages(&os, f, false);
      }
    }
    if (n == 0) break;
  }
  ok = ok && write_pages(&os, f, true);
  ogg_stream_clear(&os);
  vorbis_block_clear(&vb);
  vorbis_dsp_clear(&vd);
  vorbis_comment_clear(&vc);
  vorbis_info_clear(&vi);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s out.ogg\n", argv[0]);
    return 2;
  }
  const Stereo pcm = arrange();
  FILE* f = std::fopen(argv[1], "wb");
  if (!f) {
    std::perror(argv[1]);
    return 1;
  }
  const bool ok = encode(pcm, f);
  if (std::fclose(f) != 0 || !ok) {
    std::fprintf(stderr, "%s: write failed\n", argv[1]);
    return 1;
  }
  return 0;
}
