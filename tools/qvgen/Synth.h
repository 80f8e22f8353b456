// Small sound synthesis kit of the generator: oscillators, envelopes,
// filters and a sample buffer that is normalised before it becomes 16-bit
// PCM. Everything is plain double arithmetic in a fixed order, and noise
// comes from a seeded generator, so the same recipe gives the same samples.
#pragma once

#include <cstdint>
#include <vector>

#include "foundation/Random.h"

namespace qv::gen {

inline constexpr double kTwoPi = 6.283185307179586476925286766559;

// Frequency of a MIDI note number (69 = A 440 Hz).
double NoteFrequency(double note);

// A phase-accumulating oscillator; the frequency may change every sample.
class TOscillator {
public:
    double Sine(double frequency, double rate);
    double Square(double frequency, double rate, double duty = 0.5);
    double Saw(double frequency, double rate);
    double Triangle(double frequency, double rate);
    double Phase() const { return phase_; }

private:
    double Advance(double frequency, double rate);
    double phase_ = 0;  // 0..1
};

// White noise in -1..1 from a seeded generator.
class TNoise {
public:
    explicit TNoise(std::uint32_t seed) : random_(seed) {}
    double Next();

private:
    TRandom random_;
};

// One-pole low-pass filter; `Cutoff` in Hz.
class TLowPass {
public:
    double Process(double input, double cutoff, double rate);

private:
    double state_ = 0;
};

// State-variable band-pass filter (resonant), for squelches and whooshes.
class TBandPass {
public:
    double Process(double input, double centre, double q, double rate);

private:
    double low_ = 0;
    double band_ = 0;
};

// Attack, then exponential decay to silence: 1 at `attack` seconds, e^-t/decay after.
double AttackDecay(double t, double attack, double decay);
// Attack, hold at 1 until `release` seconds before the end, then a linear fall.
double AttackRelease(double t, double length, double attack, double release);

// Mono or interleaved stereo samples in -1..1 (or beyond, before scaling).
struct TSampleBuffer {
    std::uint32_t Rate = 22050;
    std::uint16_t Channels = 1;
    std::vector<double> Samples;

    std::size_t Frames() const { return Samples.size() / Channels; }
    double Peak() const;
    // Scales every sample so the largest magnitude becomes `peak` (0..1).
    void Normalize(double peak);
    // Short linear fades at both ends so nothing clicks.
    void FadeEnds(double seconds);
    // 16-bit little-endian PCM, each sample rounded and clamped.
    std::vector<std::uint8_t> ToPcm16() const;
};

// A RIFF WAVE file: 'fmt ' with the given format record, then 'data'.
std::vector<std::uint8_t> WaveFileOf(const std::vector<std::uint8_t>& formatRecord, const std::vector<std::uint8_t>& data);
// A RIFF WAVE file of 16-bit PCM.
std::vector<std::uint8_t> PcmWaveFile(const TSampleBuffer& buffer);

}  // namespace qv::gen
