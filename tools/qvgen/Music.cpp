#include "tools/qvgen/Music.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>

#include "foundation/Random.h"
#include "tools/qvgen/Synth.h"

namespace qv::gen {

namespace {

// ---- the mix: a cyclic stereo buffer of one period -------------------------

class TLoopMix {
public:
    explicit TLoopMix(std::uint32_t frames) : frames_(frames), left_(frames, 0.0), right_(frames, 0.0) {}

    std::uint32_t Frames() const { return frames_; }

    // Adds a mono voice starting at `start`, panned -1 (left) .. 1 (right);
    // what runs past the end wraps to the start, so the loop rings on.
    void Add(std::int64_t start, const std::vector<double>& voice, double gain, double pan) {
        const double l = gain * std::sqrt(0.5 * (1.0 - pan));
        const double r = gain * std::sqrt(0.5 * (1.0 + pan));
        const auto n = static_cast<std::int64_t>(frames_);
        std::int64_t at = ((start % n) + n) % n;
        for (double v : voice) {
            left_[static_cast<std::size_t>(at)] += v * l;
            right_[static_cast<std::size_t>(at)] += v * r;
            if (++at == n) at = 0;
        }
    }

    std::vector<double>& Left() { return left_; }
    std::vector<double>& Right() { return right_; }

private:
    std::uint32_t frames_;
    std::vector<double> left_;
    std::vector<double> right_;
};

constexpr double kRate = kMusicRate;

std::size_t Samples(double seconds) { return static_cast<std::size_t>(std::max(0.0, seconds) * kRate); }

// ---- instruments: each renders one note as a mono voice --------------------

std::vector<double> Lead(double note, double length, double brightness) {
    const double f = NoteFrequency(note);
    const double release = 0.09;
    std::vector<double> out(Samples(length + release));
    TOscillator a, b, vib;
    TLowPass lp;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const double t = static_cast<double>(i) / kRate;
        const double vibrato = t > 0.18 ? 1.0 + 0.004 * vib.Sine(5.5, kRate) : 1.0;
        const double raw = 0.6 * a.Square(f * vibrato, kRate, 0.3) + 0.4 * b.Saw(f * vibrato * 1.003, kRate);
        const double env = t < length ? std::min(1.0, t / 0.008) * (0.75 + 0.25 * std::exp(-t / 0.12))
                                      : 0.75 * std::max(0.0, 1.0 - (t - length) / release);
        const double cutoff = f * (1.5 + brightness * 3.0 * std::exp(-t / 0.25)) + 400;
        out[i] = lp.Process(raw, cutoff, kRate) * env;
    }
    return out;
}

std::vector<double> Bass(double note, double length) {
    const double f = NoteFrequency(note);
    const double release = 0.05;
    std::vector<double> out(Samples(length + release));
    TOscillator saw, sub;
    TLowPass lp;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const double t = static_cast<double>(i) / kRate;
        const double env = t < length ? std::min(1.0, t / 0.004) * (0.6 + 0.4 * std::exp(-t / 0.15))
                                      : 0.6 * std::max(0.0, 1.0 - (t - length) / release);
        const double raw = 0.55 * saw.Saw(f, kRate) + 0.6 * sub.Sine(f, kRate);
        out[i] = lp.Process(raw, 250 + 900 * std::exp(-t / 0.08), kRate) * env;
    }
    return out;
}

std::vector<double> Pad(double note, double length) {
    const double f = NoteFrequency(note);
    const double release = 0.35;
    std::vector<double> out(Samples(length + release));
    std::array<TOscillator, 3> osc;
    const std::array<double, 3> detune = {0.996, 1.0, 1.0045};
    TLowPass lp;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const double t = static_cast<double>(i) / kRate;
        double raw = 0;
        for (std::size_t k = 0; k < osc.size(); ++k) raw += osc[k].Saw(f * detune[k], kRate) / 3.0;
        const double env = t < length ? std::min(1.0, t / 0.25) : std::max(0.0, 1.0 - (t - length) / release);
        out[i] = lp.Process(raw, 1400, kRate) * env;
    }
    return out;
}

std::vector<double> Pluck(double note, double decay) {
    const double f = NoteFrequency(note);
    std::vector<double> out(Samples(decay * 5));
    TOscillator tri, sq;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const double t = static_cast<double>(i) / kRate;
        out[i] = (0.7 * tri.Triangle(f, kRate) + 0.3 * sq.Square(f * 2, kRate, 0.5) * std::exp(-t / 0.03)) *
                 AttackDecay(t, 0.002, decay);
    }
    return out;
}

std::vector<double> Bell(double note, double decay) {
    const double f = NoteFrequency(note);
    std::vector<double> out(Samples(decay * 5));
    TOscillator carrier, modulator;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const double t = static_cast<double>(i) / kRate;
        const double index = 2.5 * std::exp(-t / 0.3);
        const double m = modulator.Sine(f * 3.5, kRate);
        out[i] = carrier.Sine(f * (1.0 + index * 0.05 * m), kRate) * AttackDecay(t, 0.003, decay);
    }
    return out;
}

std::vector<double> Kick() {
    std::vector<double> out(Samples(0.35));
    TOscillator osc;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const double t = static_cast<double>(i) / kRate;
        const double f = 45 + 120 * std::exp(-t / 0.03);
        out[i] = osc.Sine(f, kRate) * AttackDecay(t, 0.001, 0.12);
    }
    return out;
}

std::vector<double> Snare(std::uint32_t seed) {
    std::vector<double> out(Samples(0.25));
    TOscillator tone;
    TNoise noise(seed);
    TBandPass bp;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const double t = static_cast<double>(i) / kRate;
        const double n = bp.Process(noise.Next(), 2200, 0.8, kRate);
        out[i] = 0.9 * n * AttackDecay(t, 0.001, 0.07) + 0.4 * tone.Sine(190, kRate) * AttackDecay(t, 0.001, 0.04);
    }
    return out;
}

std::vector<double> Hat(std::uint32_t seed, double decay) {
    std::vector<double> out(Samples(decay * 5));
    TNoise noise(seed);
    TLowPass lp;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const double t = static_cast<double>(i) / kRate;
        const double n = noise.Next();
        out[i] = (n - lp.Process(n, 7000, kRate)) * AttackDecay(t, 0.0005, decay);
    }
    return out;
}

std::vector<double> Crash(std::uint32_t seed) {
    std::vector<double> out(Samples(1.6));
    TNoise noise(seed);
    TLowPass lp;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const double t = static_cast<double>(i) / kRate;
        const double n = noise.Next();
        out[i] = (n - lp.Process(n, 4000, kRate)) * AttackDecay(t, 0.002, 0.45);
    }
    return out;
}

// ---- the score ---------------------------------------------------------------

struct TChord {
    int Root;                 // semitones above the key
    std::array<int, 3> Tones; // semitones above the chord root
};

constexpr TChord Major(int root) { return {root, {0, 4, 7}}; }
constexpr TChord Minor(int root) { return {root, {0, 3, 7}}; }

struct TSong {
    double Bpm;
    int Key;                        // MIDI note of the key's root (octave of the melody)
    std::vector<int> Scale;         // semitones of the scale
    std::vector<TChord> Chords;     // one per bar
    std::uint32_t Seed;
    // Phrase plan: which melody phrase each group of four bars plays.
    std::vector<int> Phrases;
    int Style;                      // 0 driving, 1 calm, 2 festive
};

TSong SongOf(TPiece piece) {
    const std::vector<int> minor = {0, 2, 3, 5, 7, 8, 10};
    const std::vector<int> major = {0, 2, 4, 5, 7, 9, 11};
    switch (piece) {
        case TPiece::Game:
            // A minor, driving: i VI III VII | i VI VII V ...
            return {132, 69, minor,
                    {Minor(0), Major(8), Major(3), Major(10), Minor(0), Major(8), Major(10), Major(7),
                     Major(5), Major(3), Minor(0), Major(10), Major(8), Major(10), Minor(0), Major(7)},
                    0x61AE, {0, 0, 1, 2}, 0};
        case TPiece::Menu:
            // F major, calm: I V vi IV | I V IV V
            return {96, 65, major,
                    {Major(0), Major(7), Minor(9), Major(5), Major(0), Major(7), Major(5), Major(7)},
                    0x3E17, {0, 1}, 1};
        case TPiece::HighScore:
            // D major, festive: I V vi IV | I IV V I
            return {116, 74, major,
                    {Major(0), Major(7), Minor(9), Major(5), Major(0), Major(5), Major(7), Major(0)},
                    0x9A5C, {0, 1}, 2};
    }
    return {};
}

// The nearest scale note to `note` (in the song's key) that is a chord tone.
int SnapToChord(int note, int key, const TChord& chord) {
    int best = note;
    int bestDistance = 1000;
    for (int d = -6; d <= 6; ++d) {
        const int pc = (((note + d - key - chord.Root) % 12) + 12) % 12;
        for (int tone : chord.Tones)
            if (pc == tone && std::abs(d) < bestDistance) {
                best = note + d;
                bestDistance = std::abs(d);
            }
    }
    return best;
}

int ScaleStep(int note, int key, const std::vector<int>& scale, int steps) {
    // Moves `steps` scale degrees from the scale note nearest to `note`.
    int degree = 0;
    int octave = static_cast<int>(std::floor((note - key) / 12.0));
    const int pc = note - key - 12 * octave;
    for (std::size_t i = 0; i < scale.size(); ++i)
        if (scale[i] <= pc) degree = static_cast<int>(i);
    degree += steps;
    const int n = static_cast<int>(scale.size());
    while (degree < 0) {
        degree += n;
        --octave;
    }
    while (degree >= n) {
        degree -= n;
        ++octave;
    }
    return key + 12 * octave + scale[static_cast<std::size_t>(degree)];
}

struct TNote {
    int Step;      // sixteenth within the bar
    int Length;    // sixteenths
    int Pitch;     // MIDI
};

// One bar of melody for phrase `phrase`, bar `barInPhrase`: the rhythm and
// contour come from the phrase, the pitches fit the bar's chord.
std::vector<TNote> MelodyBar(const TSong& song, int phrase, int barInPhrase, const TChord& chord, int& last) {
    TRandom random(song.Seed * 31u + static_cast<std::uint32_t>(phrase) * 977u + static_cast<std::uint32_t>(barInPhrase) * 131u);
    static const std::array<std::array<int, 8>, 6> rhythms = {{
        {4, 2, 2, 4, 4, 0, 0, 0},
        {2, 2, 2, 2, 4, 4, 0, 0},
        {6, 2, 4, 4, 0, 0, 0, 0},
        {3, 3, 2, 4, 2, 2, 0, 0},
        {2, 2, 4, 2, 2, 4, 0, 0},
        {8, 4, 4, 0, 0, 0, 0, 0},
    }};
    const int choice = barInPhrase == 3 ? 5 : static_cast<int>(random.Below(song.Style == 1 ? 3 : 5));
    std::vector<TNote> bar;
    int step = 0;
    for (int length : rhythms[static_cast<std::size_t>(choice)]) {
        if (length == 0) break;
        int pitch = ScaleStep(last, song.Key, song.Scale, random.Between(-2, 2));
        if (step % 8 == 0) pitch = SnapToChord(pitch, song.Key, chord);
        pitch = std::clamp(pitch, song.Key - 7, song.Key + 12);
        // A rest now and then gives the line air.
        if (random.Below(9) != 0 || step == 0) bar.push_back({step, length, pitch});
        last = pitch;
        step += length;
    }
    return bar;
}

}  // namespace

TMusicLoop ComposeMusic(TPiece piece, std::uint32_t quietStart, std::uint32_t quietEnd) {
    const TSong song = SongOf(piece);
    // A sixteenth is a whole number of 72-frame units, so four beats are a
    // whole number of 1152-frame MPEG frames.
    const double exactSixteenth = kRate * 60.0 / song.Bpm / 4.0;
    const std::uint32_t sixteenth = static_cast<std::uint32_t>(std::lround(exactSixteenth / 72.0)) * 72u;
    const std::uint32_t barFrames = sixteenth * 16;
    const auto bars = static_cast<std::uint32_t>(song.Chords.size());
    const double sixteenthSeconds = sixteenth / kRate;

    TLoopMix mix(barFrames * bars);
    // Everything starts a little after the loop point, behind the quiet gap.
    const std::int64_t origin = quietEnd + 64;
    auto at = [&](std::uint32_t bar, double step) {
        return origin + static_cast<std::int64_t>(bar) * barFrames + static_cast<std::int64_t>(step * sixteenth);
    };

    int last = song.Key + 7;
    std::uint32_t noiseSeed = song.Seed;
    for (std::uint32_t bar = 0; bar < bars; ++bar) {
        const TChord& chord = song.Chords[bar];
        const int phrase = song.Phrases[(bar / 4) % song.Phrases.size()];
        const int chordRoot = song.Key + chord.Root;

        // Melody.
        if (!(song.Style == 1 && bar < 2)) {
            for (const TNote& n : MelodyBar(song, phrase, static_cast<int>(bar % 4), chord, last)) {
                const double length = n.Length * sixteenthSeconds * 0.9;
                if (song.Style == 2)
                    mix.Add(at(bar, n.Step), Bell(n.Pitch, 0.45), 0.33, 0.15);
                else
                    mix.Add(at(bar, n.Step), Lead(n.Pitch, length, song.Style == 0 ? 1.0 : 0.4), 0.26, 0.1);
            }
        }

        // Chords: a pad, plus an arpeggio in the calm and festive pieces.
        for (int tone : chord.Tones) {
            const int note = chordRoot - 12 + tone;
            mix.Add(at(bar, 0), Pad(note, 16 * sixteenthSeconds * 0.97), song.Style == 1 ? 0.12 : 0.07,
                    tone == 4 || tone == 3 ? -0.4 : 0.4);
        }
        if (song.Style != 0) {
            static const std::array<int, 8> order = {0, 1, 2, 1, 0, 2, 1, 2};
            for (int s = 0; s < 16; s += 2) {
                const int tone = chord.Tones[static_cast<std::size_t>(order[static_cast<std::size_t>(s / 2)])];
                mix.Add(at(bar, s), Pluck(chordRoot + tone + (s >= 8 ? 12 : 0), 0.18), 0.13, -0.5);
            }
        }

        // Bass.
        const int bassRoot = chordRoot - 24 - (chordRoot - 24 > 45 ? 12 : 0);
        if (song.Style == 0) {
            for (int s = 0; s < 16; s += 2)
                mix.Add(at(bar, s), Bass(bassRoot + ((s / 2) % 4 == 3 ? 12 : 0), sixteenthSeconds * 1.6), 0.36, 0.0);
        } else if (song.Style == 1) {
            mix.Add(at(bar, 0), Bass(bassRoot, sixteenthSeconds * 7.5), 0.4, 0.0);
            mix.Add(at(bar, 8), Bass(bassRoot + 7, sixteenthSeconds * 7.5), 0.36, 0.0);
        } else {
            for (int s = 0; s < 16; s += 4) mix.Add(at(bar, s), Bass(bassRoot + (s == 8 ? 7 : 0), sixteenthSeconds * 3.2), 0.4, 0.0);
        }

        // Drums.
        const std::vector<double> kick = Kick();
        if (song.Style == 1) {
            mix.Add(at(bar, 0), kick, 0.45, 0.0);
            mix.Add(at(bar, 8), Snare(++noiseSeed), 0.18, 0.1);
            for (int s = 0; s < 16; s += 4) mix.Add(at(bar, s), Hat(++noiseSeed, 0.03), 0.12, 0.3);
        } else {
            for (int s : {0, 8}) mix.Add(at(bar, s), kick, 0.6, 0.0);
            if (song.Style == 0 && bar % 2 == 1) mix.Add(at(bar, 14), kick, 0.45, 0.0);
            for (int s : {4, 12}) mix.Add(at(bar, s), Snare(++noiseSeed), 0.36, 0.1);
            for (int s = 0; s < 16; s += 2) mix.Add(at(bar, s), Hat(++noiseSeed, s % 4 == 2 ? 0.06 : 0.025), 0.16, 0.35);
            if (bar % 4 == 0) mix.Add(at(bar, 0), Crash(++noiseSeed), 0.14, -0.3);
        }
    }

    // The quiet gap at the loop point, with short fades on either side so
    // the cut never clicks.
    const std::uint32_t frames = mix.Frames();
    const std::uint32_t fade = 220;
    auto gain = [&](std::uint32_t i) {
        if (i < quietEnd || i >= frames - quietStart) return 0.0;
        if (i < quietEnd + fade) return static_cast<double>(i - quietEnd) / fade;
        if (i + fade >= frames - quietStart) return static_cast<double>(frames - quietStart - i) / fade;
        return 1.0;
    };
    double peak = 0;
    for (std::uint32_t i = 0; i < frames; ++i) {
        const double g = gain(i);
        mix.Left()[i] *= g;
        mix.Right()[i] *= g;
        peak = std::max({peak, std::fabs(mix.Left()[i]), std::fabs(mix.Right()[i])});
    }
    // Headroom for the encoder's ringing: the peak goes to about -2.5 dBFS.
    const double scale = peak > 0 ? 0.75 / peak : 0.0;
    TMusicLoop loop;
    loop.Frames = frames;
    loop.QuietStart = quietStart;
    loop.QuietEnd = quietEnd;
    loop.Pcm.resize(static_cast<std::size_t>(frames) * 2);
    for (std::uint32_t i = 0; i < frames; ++i) {
        loop.Pcm[2 * i] = static_cast<std::int16_t>(std::lround(mix.Left()[i] * scale * 32767.0));
        loop.Pcm[2 * i + 1] = static_cast<std::int16_t>(std::lround(mix.Right()[i] * scale * 32767.0));
    }
    switch (piece) {
        case TPiece::Game: loop.Name = "QVX3GameMusic"; break;
        case TPiece::Menu: loop.Name = "QVX3MenuMusic"; break;
        case TPiece::HighScore: loop.Name = "QVX3HighScoreMusic"; break;
    }
    return loop;
}

}  // namespace qv::gen
