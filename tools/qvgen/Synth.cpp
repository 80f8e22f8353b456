#include "tools/qvgen/Synth.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "platform/codec/WaveFormat.h"

namespace qv::gen {

double NoteFrequency(double note) { return 440.0 * std::pow(2.0, (note - 69.0) / 12.0); }

double TOscillator::Advance(double frequency, double rate) {
    const double p = phase_;
    phase_ += frequency / rate;
    phase_ -= std::floor(phase_);
    return p;
}

double TOscillator::Sine(double frequency, double rate) { return std::sin(kTwoPi * Advance(frequency, rate)); }

double TOscillator::Square(double frequency, double rate, double duty) {
    return Advance(frequency, rate) < duty ? 1.0 : -1.0;
}

double TOscillator::Saw(double frequency, double rate) { return 2.0 * Advance(frequency, rate) - 1.0; }

double TOscillator::Triangle(double frequency, double rate) {
    const double p = Advance(frequency, rate);
    return p < 0.5 ? 4.0 * p - 1.0 : 3.0 - 4.0 * p;
}

double TNoise::Next() { return 2.0 * random_.Uniform() - 1.0; }

double TLowPass::Process(double input, double cutoff, double rate) {
    const double a = 1.0 - std::exp(-kTwoPi * std::clamp(cutoff, 1.0, rate * 0.45) / rate);
    state_ += a * (input - state_);
    return state_;
}

double TBandPass::Process(double input, double centre, double q, double rate) {
    // Chamberlin state-variable filter; stable while f stays below ~1.
    const double f = 2.0 * std::sin(kTwoPi / 2.0 * std::clamp(centre, 20.0, rate * 0.2) / rate);
    const double damp = 1.0 / std::max(q, 0.5);
    low_ += f * band_;
    const double high = input - low_ - damp * band_;
    band_ += f * high;
    return band_;
}

double AttackDecay(double t, double attack, double decay) {
    if (t < 0) return 0;
    if (t < attack) return t / attack;
    return std::exp(-(t - attack) / decay);
}

double AttackRelease(double t, double length, double attack, double release) {
    if (t < 0 || t >= length) return 0;
    double g = 1.0;
    if (t < attack) g = t / attack;
    if (t > length - release) g = std::min(g, (length - t) / release);
    return g;
}

double TSampleBuffer::Peak() const {
    double peak = 0;
    for (double s : Samples) peak = std::max(peak, std::fabs(s));
    return peak;
}

void TSampleBuffer::Normalize(double peak) {
    const double p = Peak();
    if (p <= 0) return;
    const double k = peak / p;
    for (double& s : Samples) s *= k;
}

void TSampleBuffer::FadeEnds(double seconds) {
    const std::size_t frames = Frames();
    const std::size_t n = std::min(frames / 2, static_cast<std::size_t>(seconds * Rate));
    for (std::size_t i = 0; i < n; ++i) {
        const double g = static_cast<double>(i) / static_cast<double>(n);
        for (std::uint16_t c = 0; c < Channels; ++c) {
            Samples[i * Channels + c] *= g;
            Samples[(frames - 1 - i) * Channels + c] *= g;
        }
    }
}

std::vector<std::uint8_t> TSampleBuffer::ToPcm16() const {
    std::vector<std::uint8_t> out;
    out.reserve(Samples.size() * 2);
    for (double s : Samples) {
        const long v = std::clamp(std::lround(s * 32767.0), -32768L, 32767L);
        const auto u = static_cast<std::uint16_t>(static_cast<std::int16_t>(v));
        out.push_back(static_cast<std::uint8_t>(u & 0xFF));
        out.push_back(static_cast<std::uint8_t>(u >> 8));
    }
    return out;
}

namespace {

void PutU32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

void PutId(std::vector<std::uint8_t>& out, const char* id) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(id[i]));
}

void PutChunk(std::vector<std::uint8_t>& out, const char* id, const std::vector<std::uint8_t>& data) {
    PutId(out, id);
    PutU32(out, static_cast<std::uint32_t>(data.size()));
    out.insert(out.end(), data.begin(), data.end());
    if (data.size() & 1) out.push_back(0);
}

}  // namespace

std::vector<std::uint8_t> WaveFileOf(const std::vector<std::uint8_t>& formatRecord, const std::vector<std::uint8_t>& data) {
    std::vector<std::uint8_t> body;
    PutChunk(body, "fmt ", formatRecord);
    PutChunk(body, "data", data);
    std::vector<std::uint8_t> out;
    out.reserve(12 + body.size());
    PutId(out, "RIFF");
    PutU32(out, static_cast<std::uint32_t>(4 + body.size()));
    PutId(out, "WAVE");
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

std::vector<std::uint8_t> PcmWaveFile(const TSampleBuffer& buffer) {
    const codec::TWaveFormat format = codec::MakePcmFormat(buffer.Channels, buffer.Rate, 16);
    return WaveFileOf(format.ToBytes(), buffer.ToPcm16());
}

}  // namespace qv::gen
