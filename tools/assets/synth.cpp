#include "synth.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr float kPi = 3.14159265358979f;

// Topology-preserving state-variable filter (two integrators); stable for any
// cutoff below Nyquist, so the cutoff may move every sample.
struct Svf {
  float ic1 = 0, ic2 = 0;
  // Runs one sample; returns the low-pass output and stores the high-pass one.
  float run(float v0, float cutoff_hz, float q, float* high = nullptr) {
    const float g = std::tan(kPi * std::min(cutoff_hz, 0.45f * kRate) / kRate);
    const float k = 1.0f / q;
    const float a1 = 1.0f / (1.0f + g * (g + k));
    const float a2 = g * a1, a3 = g * a2;
    const float v3 = v0 - ic2;
    const float v1 = a1 * ic1 + a2 * v3;
    const float v2 = ic2 + a2 * ic1 + a3 * v3;
    ic1 = 2 * v1 - ic1;
    ic2 = 2 * v2 - ic2;
    if (high) *high = v0 - k * v1 - v2;
    return v2;
  }
};

// Band-limited sawtooth (polyBLEP correction at the wrap), phase in cycles.
struct Saw {
  float phase = 0;
  float run(float hz) {
    const float dt = hz / kRate;
    float v = 2 * phase - 1;
    if (phase < dt) {
      const float x = phase / dt;
      v -= x + x - x * x - 1;
    } else if (phase > 1 - dt) {
      const float x = (phase - 1) / dt;
      v -= x * x + x + x + 1;
    }
    phase += dt;
    if (phase >= 1) phase -= 1;
    return v;
  }
};

// Equal-power gains for pan in [-1, 1].
void pan_gains(float pan, float* gl, float* gr) {
  const float a = (pan + 1) * kPi / 4;
  *gl = std::cos(a);
  *gr = std::sin(a);
}

}  // namespace

float Noise::next() {
  state ^= state << 13;
  state ^= state >> 17;
  state ^= state << 5;
  return static_cast<float>(state) / 2147483648.0f - 1.0f;
}

float note_hz(int midi) { return 440.0f * std::pow(2.0f, (midi - 69) / 12.0f); }

void kick(Stereo& out, long at, float gain) {
  const long len = static_cast<long>(0.45f * kRate);
  const long tail = static_cast<long>(0.04f * kRate);
  Noise click{0x1234567u};  // same click on every kick
  Svf soften;               // keeps the click below the hats' band
  float phase = 0;
  for (long i = 0; i < len; ++i) {
    const float t = static_cast<float>(i) / kRate;
    phase += 2 * kPi * (48 + 112 * std::exp(-t / 0.03f)) / kRate;
    float amp = std::exp(-t / 0.14f) * std::min(1.0f, i / 22.0f);
    if (i > len - tail) amp *= static_cast<float>(len - i) / tail;
    float s = std::tanh(1.6f * std::sin(phase) * amp) / std::tanh(1.6f);
    s += 0.3f * soften.run(click.next(), 2500, 0.7f) * std::exp(-t / 0.003f);
    out.add(at + i, gain * s, gain * s);
  }
}

void hat(Stereo& out, long at, float gain, float decay_s, float pan, Noise& noise) {
  const long len = static_cast<long>(6 * decay_s * kRate);
  float gl, gr;
  pan_gains(pan, &gl, &gr);
  Svf f;
  for (long i = 0; i < len; ++i) {
    float high;
    f.run(noise.next(), 7000, 0.8f, &high);
    const float s = gain * high * std::exp(-static_cast<float>(i) / (decay_s * kRate));
    out.add(at + i, gl * s, gr * s);
  }
}

void bass(Stereo& out, long at, long len, int midi, float gain, float cutoff_hz) {
  const float hz = note_hz(midi);
  const long release = kRate / 50;
  Saw a, b;
  Svf f;
  float sub = 0;
  for (long i = 0; i < len + release; ++i) {
    const float t = static_cast<float>(i) / kRate;
    sub += 2 * kPi * hz / kRate;
    const float osc = 0.35f * a.run(hz * 1.0023f) + 0.35f * b.run(hz / 1.0023f) +
                      0.5f * std::sin(sub);
    const float cut = cutoff_hz * (1 + 3 * std::exp(-t / 0.06f));
    float env = std::min(1.0f, i / (0.003f * kRate));
    if (i > len) env *= 1 - static_cast<float>(i - len) / release;
    const float s = gain * env * f.run(osc, cut, 2.0f);
    out.add(at + i, s, s);
  }
}

void pad(Stereo& out, long at, long len, const int* midi, int n, float gain,
         float cutoff_hz) {
  static const float kDetune[3] = {0.9959f, 1.0f, 1.0041f};
  const long total = len + static_cast<long>(1.5f * kRate);
  std::vector<Saw> saws(static_cast<size_t>(n) * 6);
  Svf fl, fr;
  const float norm = gain / (3.0f * n);
  float held = 0;
  for (long i = 0; i < total; ++i) {
    const float t = static_cast<float>(i) / kRate;
    float l = 0, r = 0;
    for (int k = 0; k < n; ++k) {
      const float hz = note_hz(midi[k]);
      Saw* s = &saws[static_cast<size_t>(k) * 6];
      // Left and right use mirrored detunings, which spreads the chord.
      for (int d = 0; d < 3; ++d) {
        l += s[d].run(hz * kDetune[d]);
        r += s[3 + d].run(hz * kDetune[2 - d] * 1.0007f);
      }
    }
    float env;
    if (i < len) {
      env = 1 - std::exp(-t / 0.35f);
      held = env;
    } else {
      env = held * std::exp(-static_cast<float>(i - len) / (0.3f * kRate));
    }
    const float cut = cutoff_hz * (1 + 0.2f * std::sin(2 * kPi * 0.25f * t));
    out.add(at + i, norm * env * fl.run(l, cut, 0.9f), norm * env * fr.run(r, cut, 0.9f));
  }
}

void pluck(Stereo& out, long at, long len, int midi, float gain, float decay_s,
           float pan) {
  const float hz = note_hz(midi);
  const long release = kRate / 30;
  float gl, gr;
  pan_gains(pan, &gl, &gr);
  Saw a, b;
  b.phase = 0.5f;  // saw minus half-cycle-shifted saw is a square
  Svf f;
  for (long i = 0; i < len + release; ++i) {
    const float t = static_cast<float>(i) / kRate;
    const float sa = a.run(hz), sb = b.run(hz);
    const float osc = 0.6f * sa + 0.2f * (sa - sb);
    float env = std::exp(-t / decay_s) * std::min(1.0f, i / (0.002f * kRate));
    if (i > len) env *= 1 - static_cast<float>(i - len) / release;
    const float s = gain * env * f.run(osc, 500 + 3500 * std::exp(-t / 0.08f), 1.5f);
    out.add(at + i, gl * s, gr * s);
  }
}

void echo(Stereo& buf, long delay, float feedback, float mix) {
  const long n = buf.frames();
  std::vector<float> el(n), er(n);
  for (long i = delay; i < n; ++i) {
    const float dry = 0.5f * (buf.l[i - delay] + buf.r[i - delay]);
    el[i] = mix * dry + feedback * er[i - delay];
    er[i] = feedback * el[i - delay];
  }
  for (long i = 0; i < n; ++i) {
    buf.l[i] += el[i];
    buf.r[i] += er[i];
  }
}

void duck(Stereo& buf, long at, long len, float depth, float tau_s) {
  const float ramp = 0.003f * kRate;  // 3 ms down, so the dip does not click
  for (long i = 0; i < len && at + i < buf.frames(); ++i) {
    const float g = 1 - depth * std::min(1.0f, i / ramp) *
                            std::exp(-static_cast<float>(i) / (tau_s * kRate));
    buf.l[at + i] *= g;
    buf.r[at + i] *= g;
  }
}
