// Voices and effects for the soundtrack generator. Every voice adds one
// note into a stereo float buffer at kRate; nothing here reads the clock or
// an unseeded random source, so the same calls always give the same samples.
#pragma once
#include "sound/sound.h"

#include <cstdint>
#include <vector>

constexpr int kRate = sound::rate;  // the rate the show plays at

// Two channels of float samples, nominally within [-1, 1] before the final
// normalisation.
struct Stereo {
  std::vector<float> l, r;
  explicit Stereo(long frames) : l(frames), r(frames) {}
  long frames() const { return static_cast<long>(l.size()); }
  void add(long i, float left, float right) {
    if (i >= 0 && i < frames()) {
      l[i] += left;
      r[i] += right;
    }
  }
};

// White noise from a 32-bit xorshift generator; the seed fixes the sequence.
struct Noise {
  uint32_t state;
  float next();  // uniform in [-1, 1)
};

// Equal-tempered frequency of a MIDI note number (69 = A4 = 440 Hz).
float note_hz(int midi);

// Bass drum: a sine swept down from ~160 Hz to 48 Hz with a click on top.
// Full scale at its peak times gain; lasts 0.45 s.
void kick(Stereo& out, long at, float gain);

// Hi-hat: high-passed noise decaying with time constant decay_s.
// pan runs from -1 (left) to 1 (right).
void hat(Stereo& out, long at, float gain, float decay_s, float pan, Noise& noise);

// Bass note: two detuned saws and a sub sine through a resonant low-pass whose
// cutoff starts four times higher and settles at cutoff_hz. len in samples.
void bass(Stereo& out, long at, long len, int midi, float gain, float cutoff_hz);

// Sustained chord of n notes, three detuned saws per note and channel, with a
// slow attack and a release that rings past len.
void pad(Stereo& out, long at, long len, const int* midi, int n, float gain,
         float cutoff_hz);

// Plucked note for stabs and leads: decays with time constant decay_s and is
// cut off (with a short release) after len samples.
void pluck(Stereo& out, long at, long len, int midi, float gain, float decay_s,
           float pan);

// Ping-pong echo in place: each repeat delay samples later, alternating
// sides, scaled by feedback; mix is the level of the first repeat.
void echo(Stereo& buf, long delay, float feedback, float mix);

// Pumps buf down by depth right at `at`, recovering with time constant tau_s,
// over len samples (the space to the next kick).
void duck(Stereo& buf, long at, long len, float depth, float tau_s);
