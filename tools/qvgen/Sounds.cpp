// The game's sound set: 36 effects synthesised as 16-bit PCM WAVE, and the
// three music loops encoded as MPEG Layer-3 WAVE data.
#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <string>
#include <utility>

#include "foundation/Exceptions.h"
#include "foundation/Random.h"
#include "tools/qvgen/Content.h"
#include "tools/qvgen/Mp3Wave.h"
#include "tools/qvgen/Music.h"
#include "tools/qvgen/Sounds.h"
#include "tools/qvgen/Synth.h"

namespace qv::gen {

namespace {

constexpr std::uint32_t kEffectRate = 22050;
constexpr double kRate = kEffectRate;
// Effects peak at about -1.4 dBFS: loud, never clipped.
constexpr double kEffectPeak = 0.85;
constexpr std::uint32_t kMusicKbps = 112;

using TVoice = std::function<double(double t)>;

TSampleBuffer Render(double seconds, const TVoice& voice) {
    TSampleBuffer b;
    b.Rate = kEffectRate;
    b.Channels = 1;
    b.Samples.resize(static_cast<std::size_t>(seconds * kRate));
    for (std::size_t i = 0; i < b.Samples.size(); ++i) b.Samples[i] = voice(static_cast<double>(i) / kRate);
    return b;
}

// A tone whose frequency follows `frequency(t)`, shaped by `envelope(t)`.
struct TSweep {
    TSweep(std::function<double(double)> frequency, std::function<double(double)> envelope, int wave)
        : Frequency(std::move(frequency)), Envelope(std::move(envelope)), Wave(wave) {}
    std::function<double(double)> Frequency;
    std::function<double(double)> Envelope;
    int Wave;  // 0 sine, 1 square, 2 saw, 3 triangle
    TOscillator Osc;
    double operator()(double t) {
        const double f = Frequency(t);
        double v = 0;
        switch (Wave) {
            case 0: v = Osc.Sine(f, kRate); break;
            case 1: v = Osc.Square(f, kRate); break;
            case 2: v = Osc.Saw(f, kRate); break;
            default: v = Osc.Triangle(f, kRate); break;
        }
        return v * Envelope(t);
    }
};

double Exp(double from, double to, double t, double length) {
    const double k = std::clamp(t / length, 0.0, 1.0);
    return from * std::pow(to / from, k);
}

// ---- recipes -----------------------------------------------------------------

TSampleBuffer Shoot() {
    // A quick rubbery "thwip": a square falling from 1400 to 300 Hz, a puff of noise.
    TSweep tone{[](double t) { return Exp(1400, 300, t, 0.12); }, [](double t) { return AttackDecay(t, 0.002, 0.05); }, 1};
    TNoise noise(3);
    TLowPass lp;
    return Render(0.22, [&](double t) {
        return 0.55 * lp.Process(tone(t), 3000, kRate) + 0.35 * noise.Next() * AttackDecay(t, 0.001, 0.02);
    });
}

TSampleBuffer ShootSeek() {
    // The seeker shot: a rising chirp that wavers, as if it were looking for a target.
    TOscillator wobble;
    TSweep tone{[&](double t) { return Exp(500, 1800, t, 0.25) * (1 + 0.06 * wobble.Sine(28, kRate)); },
                [](double t) { return AttackRelease(t, 0.32, 0.005, 0.1); }, 3};
    TNoise noise(4);
    return Render(0.34, [&](double t) { return 0.7 * tone(t) + 0.2 * noise.Next() * AttackDecay(t, 0.001, 0.015); });
}

TSampleBuffer Torpedo() {
    // A low launch thump and a long bubbling whoosh.
    TNoise noise(5);
    TBandPass bp;
    TSweep thump{[](double t) { return Exp(160, 50, t, 0.2); }, [](double t) { return AttackDecay(t, 0.002, 0.12); }, 0};
    TOscillator gurgle;
    return Render(0.9, [&](double t) {
        const double centre = Exp(300, 1500, t, 0.8) * (1 + 0.3 * gurgle.Sine(17, kRate));
        return 0.6 * thump(t) + 0.7 * bp.Process(noise.Next(), centre, 3, kRate) * AttackRelease(t, 0.9, 0.05, 0.5);
    });
}

TSampleBuffer Coming() {
    // Something is coming: a two-tone warning that rises.
    TSweep tone{[](double t) { return (std::fmod(t, 0.2) < 0.1 ? 660.0 : 880.0) * (1 + 0.3 * t); },
                [](double t) { return AttackRelease(t, 0.8, 0.01, 0.15); }, 3};
    return Render(0.8, [&](double t) { return tone(t); });
}

TSampleBuffer NivletOut() {
    // A nivlet got away: a sad falling "wah-wah".
    TOscillator lfo;
    TSweep tone{[](double t) { return Exp(520, 260, t, 0.6); }, [](double t) { return AttackRelease(t, 0.65, 0.01, 0.2); }, 2};
    TLowPass lp;
    return Render(0.65, [&](double t) {
        const double cutoff = 400 + 1600 * (0.5 + 0.5 * lfo.Sine(4, kRate));
        return lp.Process(tone(t), cutoff, kRate);
    });
}

// Notes one after another, each a bell-like tone.
TSampleBuffer Arpeggio(const std::vector<double>& notes, double spacing, double decay, double tail, int wave) {
    const double length = spacing * static_cast<double>(notes.size()) + tail;
    std::vector<TOscillator> osc(notes.size());
    std::vector<TOscillator> over(notes.size());
    return Render(length, [&](double t) {
        double v = 0;
        for (std::size_t i = 0; i < notes.size(); ++i) {
            const double start = spacing * static_cast<double>(i);
            if (t < start) continue;
            const double f = NoteFrequency(notes[i]);
            const double e = AttackDecay(t - start, 0.004, decay);
            const double tone = wave == 0 ? osc[i].Sine(f, kRate) : osc[i].Triangle(f, kRate);
            v += (0.7 * tone + 0.25 * over[i].Sine(2 * f, kRate)) * e;
        }
        return v * AttackRelease(t, length, 0.001, 0.05);
    });
}

TSampleBuffer GameOver() { return Arpeggio({67, 63, 60, 55, 51, 48}, 0.2, 0.35, 0.7, 3); }
TSampleBuffer LvlFinished() { return Arpeggio({60, 64, 67, 72, 76, 79, 84}, 0.11, 0.4, 0.8, 0); }
TSampleBuffer LvlStart() {
    // Ready, steady, go: two short beeps and a long higher one.
    return Arpeggio({72, 72, 84}, 0.3, 0.12, 0.5, 0);
}

TSampleBuffer Blip(double from, double to, double length, int wave) {
    TSweep tone{[=](double t) { return Exp(from, to, t, length); }, [=](double t) { return AttackRelease(t, length, 0.002, length * 0.5); },
                wave};
    return Render(length, [&](double t) { return tone(t); });
}

TSampleBuffer Delete() { return Blip(600, 180, 0.12, 1); }
TSampleBuffer Write() { return Blip(1800, 1500, 0.04, 1); }

TSampleBuffer BigTime() {
    // Big points: a shimmering major chord of bells with a slow tremolo.
    const std::vector<double> notes = {72, 76, 79, 84};
    std::vector<TOscillator> carrier(notes.size()), mod(notes.size());
    TOscillator tremolo;
    return Render(1.2, [&](double t) {
        double v = 0;
        for (std::size_t i = 0; i < notes.size(); ++i) {
            const double f = NoteFrequency(notes[i]);
            const double m = mod[i].Sine(f * 2.01, kRate) * 2.0 * std::exp(-t / 0.4);
            v += carrier[i].Sine(f * (1 + 0.02 * m), kRate) * AttackDecay(t - 0.03 * static_cast<double>(i), 0.004, 0.5);
        }
        return v * (0.85 + 0.15 * tremolo.Sine(9, kRate));
    });
}

TSampleBuffer NoShoot() {
    // Nothing to fire: a dull low buzz.
    TOscillator a, b;
    TLowPass lp;
    return Render(0.22, [&](double t) {
        const double raw = 0.5 * a.Square(110, kRate) + 0.5 * b.Square(116.5, kRate);
        return lp.Process(raw, 900, kRate) * AttackRelease(t, 0.22, 0.005, 0.05);
    });
}

TSampleBuffer Explosion(std::uint32_t seed, double length, double bright, double rumble) {
    TNoise noise(seed);
    TLowPass lp, lp2;
    TSweep boom{[](double t) { return Exp(90, 35, t, 0.5); }, [](double t) { return AttackDecay(t, 0.003, 0.25); }, 0};
    return Render(length, [&](double t) {
        const double n = noise.Next();
        const double cutoff = bright * std::exp(-t / (length * 0.3)) + 200;
        const double body = lp2.Process(lp.Process(n, cutoff, kRate), cutoff * 1.5, kRate);
        return (body * 1.4 + rumble * boom(t)) * AttackDecay(t, 0.002, length * 0.3);
    });
}

TSampleBuffer TorpedoDestroy() { return Explosion(14, 1.0, 5000, 0.8); }

TSampleBuffer Splitting() {
    // A virus splitting in two: a stretching, wobbling sweep ending in a wet pop.
    TOscillator lfo;
    TSweep stretch{[&](double t) { return Exp(200, 700, t, 0.55) * (1 + 0.12 * lfo.Sine(14 + 20 * t, kRate)); },
                   [](double t) { return AttackRelease(t, 0.6, 0.02, 0.08); }, 2};
    TLowPass lp;
    TSweep pop{[](double t) { return Exp(1200, 300, t - 0.58, 0.06); }, [](double t) { return AttackDecay(t - 0.58, 0.001, 0.03); }, 0};
    return Render(0.75, [&](double t) { return 0.6 * lp.Process(stretch(t), 1800, kRate) + 0.7 * pop(t); });
}

// A bubble: a sine whose pitch rises quickly as it forms, then rings out.
double BubbleTone(TOscillator& osc, double t, double base, double decay) {
    if (t < 0) return 0;
    const double f = base * (1 + 2.2 * std::min(t, 0.06) / 0.06 * std::exp(-t / 0.08));
    return osc.Sine(f, kRate) * AttackDecay(t, 0.002, decay);
}

TSampleBuffer BubbleExplosion() {
    // The level is lost: a burst, then a cloud of bubbles rushing up.
    TSampleBuffer burst = Explosion(16, 1.6, 3500, 0.6);
    TRandom random(160);
    struct TBubble {
        double Start, Base, Decay;
        TOscillator Osc;
    };
    std::vector<TBubble> bubbles;
    for (int i = 0; i < 40; ++i)
        bubbles.push_back({0.05 + random.Uniform() * 1.3, 300 + random.Uniform() * 900, 0.03 + random.Uniform() * 0.05, {}});
    for (std::size_t i = 0; i < burst.Samples.size(); ++i) {
        const double t = static_cast<double>(i) / kRate;
        double v = 0;
        for (TBubble& b : bubbles)
            if (t >= b.Start && t < b.Start + b.Decay * 8) v += BubbleTone(b.Osc, t - b.Start, b.Base, b.Decay);
        burst.Samples[i] += 0.35 * v;
    }
    return burst;
}

TSampleBuffer BubbleFirework() {
    // Crackling pops with high sparkles, as bubbles burst like fireworks.
    TRandom random(170);
    TNoise noise(171);
    TBandPass bp;
    struct TPop {
        double Start, Pitch;
        TOscillator Osc;
    };
    std::vector<TPop> pops;
    for (int i = 0; i < 18; ++i) pops.push_back({random.Uniform() * 1.1, 1500 + random.Uniform() * 2500, {}});
    return Render(1.4, [&](double t) {
        double v = 0;
        for (TPop& p : pops) {
            const double dt = t - p.Start;
            if (dt < 0 || dt > 0.25) continue;
            v += 0.5 * bp.Process(noise.Next(), p.Pitch * 0.5, 2, kRate) * AttackDecay(dt, 0.001, 0.01);
            v += 0.3 * p.Osc.Sine(p.Pitch * (1 - 0.3 * dt), kRate) * AttackDecay(dt, 0.002, 0.06);
        }
        return v;
    });
}

TSampleBuffer Attack() {
    // Group bonus: a bright rising stab of a major chord.
    const std::vector<double> notes = {60, 67, 72, 76};
    std::vector<TOscillator> osc(notes.size());
    TLowPass lp;
    return Render(0.7, [&](double t) {
        double v = 0;
        for (std::size_t i = 0; i < notes.size(); ++i)
            v += osc[i].Saw(NoteFrequency(notes[i]) * (1 + 0.06 * std::min(t, 0.08) / 0.08), kRate) / 4.0;
        return lp.Process(v, 800 + 5000 * std::exp(-t / 0.2), kRate) * AttackDecay(t, 0.01, 0.25);
    });
}

TSampleBuffer EarlyCatch() {
    // A quick sparkling double beep.
    return Arpeggio({88, 95}, 0.06, 0.07, 0.25, 0);
}

TSampleBuffer PowerUp(double from, double to, double tremolo, std::uint32_t seed) {
    TSweep tone{[=](double t) { return Exp(from, to, t, 0.45); }, [](double t) { return AttackRelease(t, 0.55, 0.01, 0.12); }, 1};
    TOscillator trem, sub;
    TLowPass lp;
    TNoise noise(seed);
    return Render(0.55, [&](double t) {
        const double g = 1 - 0.4 * (0.5 + 0.5 * trem.Sine(tremolo, kRate));
        return (0.5 * lp.Process(tone(t), 2500, kRate) + 0.35 * sub.Sine(from * 0.5, kRate) * AttackDecay(t, 0.005, 0.2) +
                0.05 * noise.Next()) *
               g;
    });
}

TSampleBuffer ActivateTorpedo() { return PowerUp(110, 440, 12, 21); }
TSampleBuffer ActivateSeeker() { return PowerUp(330, 1320, 22, 22); }

TSampleBuffer CatchVirus(double pitch, std::uint32_t seed, double wetness) {
    // A squelchy catch: a falling tone inside a swept resonant noise splash.
    TNoise noise(seed);
    TBandPass bp;
    TSweep tone{[=](double t) { return Exp(pitch, pitch * 0.45, t, 0.2); }, [](double t) { return AttackDecay(t, 0.002, 0.07); }, 3};
    return Render(0.35, [&](double t) {
        const double centre = Exp(pitch * 4, pitch * 1.2, t, 0.25);
        return 0.55 * tone(t) + wetness * bp.Process(noise.Next(), centre, 4, kRate) * AttackDecay(t, 0.003, 0.08);
    });
}

TSampleBuffer CatchCork() {
    // The cork: a hollow pop.
    TSweep pop{[](double t) { return Exp(900, 350, t, 0.03); }, [](double t) { return AttackDecay(t, 0.0005, 0.04); }, 0};
    TSweep body{[](double) { return 260.0; }, [](double t) { return AttackDecay(t, 0.002, 0.09); }, 0};
    TNoise noise(27);
    return Render(0.3, [&](double t) { return 0.7 * pop(t) + 0.4 * body(t) + 0.3 * noise.Next() * AttackDecay(t, 0.0005, 0.006); });
}

TSampleBuffer CatchNivlet(double note, double brightness) {
    // A friendly "pling": a plucked tone with its octave and fifth above.
    const double f = NoteFrequency(note);
    TOscillator a, b, c;
    return Render(0.5, [&](double t) {
        return (0.6 * a.Sine(f, kRate) + 0.25 * brightness * b.Sine(2 * f, kRate) * std::exp(-t / 0.08) +
                0.15 * brightness * c.Sine(3 * f, kRate) * std::exp(-t / 0.05)) *
               AttackDecay(t, 0.003, 0.14);
    });
}

TSampleBuffer CatchTreasure(const std::vector<double>& notes, double decay, double shimmer) {
    // Gold, silver, bronze: bells with inharmonic partials, the richer the more precious.
    std::vector<std::array<TOscillator, 3>> osc(notes.size());
    return Render(decay * 4, [&](double t) {
        double v = 0;
        for (std::size_t i = 0; i < notes.size(); ++i) {
            const double start = 0.07 * static_cast<double>(i);
            if (t < start) continue;
            const double f = NoteFrequency(notes[i]);
            const double e = AttackDecay(t - start, 0.002, decay);
            v += (0.6 * osc[i][0].Sine(f, kRate) + shimmer * 0.3 * osc[i][1].Sine(f * 2.76, kRate) * std::exp(-(t - start) / 0.2) +
                  shimmer * 0.2 * osc[i][2].Sine(f * 5.4, kRate) * std::exp(-(t - start) / 0.1)) *
                 e;
        }
        return v;
    });
}

TSampleBuffer Bubble() {
    TOscillator osc;
    return Render(0.2, [&](double t) { return BubbleTone(osc, t, 500, 0.04); });
}

struct TRecipe {
    const char* Name;
    std::function<TSampleBuffer()> Make;
};

std::vector<TRecipe> Recipes() {
    return {
        {"Shoot", Shoot},
        {"ShootSeekCondom", ShootSeek},
        {"Torpedo", Torpedo},
        {"Coming", Coming},
        {"NivletOut", NivletOut},
        {"GameOver", GameOver},
        {"LvlFinished", LvlFinished},
        {"Delete", Delete},
        {"Write", Write},
        {"BigTime", BigTime},
        {"NoShoot", NoShoot},
        {"TorpedoDestroy", TorpedoDestroy},
        {"Splitting", Splitting},
        {"BubbleExplosion", BubbleExplosion},
        {"BubbleFirework", BubbleFirework},
        {"Attack", Attack},
        {"EarlyCatch", EarlyCatch},
        {"LvlStart", LvlStart},
        {"ActivateTorpedo", ActivateTorpedo},
        {"ActivateSeeker", ActivateSeeker},
        {"CatchVirus1", [] { return CatchVirus(420, 23, 0.6); }},
        {"CatchVirus2", [] { return CatchVirus(300, 24, 0.8); }},
        {"CatchVirus3", [] { return CatchVirus(560, 25, 0.5); }},
        {"CatchVirusSplitter", [] { return CatchVirus(240, 26, 0.9); }},
        {"CatchVirusCork", CatchCork},
        {"CatchVirus6", [] { return CatchVirus(190, 28, 1.0); }},
        {"CatchNivletTheme1", [] { return CatchNivlet(76, 1.0); }},
        {"CatchNivletTheme2", [] { return CatchNivlet(79, 1.0); }},
        {"CatchNivletNeutral", [] { return CatchNivlet(72, 0.6); }},
        {"CatchNivletTheme3", [] { return CatchNivlet(81, 1.0); }},
        {"CatchNivletTheme4", [] { return CatchNivlet(84, 1.0); }},
        {"CatchNivletTheme5", [] { return CatchNivlet(86, 1.0); }},
        {"CatchGold", [] { return CatchTreasure({84, 88, 91, 96}, 0.35, 1.0); }},
        {"CatchSilver", [] { return CatchTreasure({81, 86, 93}, 0.3, 0.7); }},
        {"CatchBronze", [] { return CatchTreasure({77, 84}, 0.25, 0.45); }},
        {"Bubble", Bubble},
    };
}

}  // namespace

const std::vector<std::string>& EffectNames() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> n;
        for (const TRecipe& r : Recipes()) n.emplace_back(r.Name);
        return n;
    }();
    return names;
}

const std::vector<std::string>& MusicNames() {
    static const std::vector<std::string> names = {"QVX3GameMusic", "QVX3MenuMusic", "QVX3HighScoreMusic"};
    return names;
}

TSampleBuffer MakeEffect(const std::string& name) {
    for (const TRecipe& r : Recipes())
        if (name == r.Name) {
            TSampleBuffer b = r.Make();
            b.FadeEnds(0.003);
            b.Normalize(kEffectPeak);
            return b;
        }
    throw Exception("no such effect: " + name);
}

TEncodedMusic EncodeMusic(TPiece piece) {
    // The encoder's lead-in and padding, 1152 frames in all, fall into the
    // quiet gap at the loop point: the input starts where the lead-in ends
    // and stops one MPEG frame short of the period, so the decoded file is
    // the period, sample for sample in place.
    const TMusicLoop loop = ComposeMusic(piece, kMp3FrameSamples - kMp3LeadIn, kMp3LeadIn);
    const std::uint32_t inputFrames = loop.Frames - kMp3FrameSamples;
    std::vector<std::int16_t> input(static_cast<std::size_t>(inputFrames) * kMusicChannels);
    for (std::uint32_t n = 0; n < inputFrames; ++n) {
        const std::uint32_t from = (n + kMp3LeadIn) % loop.Frames;
        for (std::uint16_t c = 0; c < kMusicChannels; ++c)
            input[static_cast<std::size_t>(n) * kMusicChannels + c] = loop.Pcm[static_cast<std::size_t>(from) * kMusicChannels + c];
    }
    TEncodedMusic out;
    out.Name = loop.Name;
    out.PeriodFrames = loop.Frames;
    out.Wave = EncodeMp3Wave(input, kMusicRate, kMusicChannels, kMusicKbps);
    return out;
}

TSoundSet GenerateSounds() {
    TSoundSet set;
    for (const std::string& name : EffectNames()) set.Effects.push_back({name + ".wav", PcmWaveFile(MakeEffect(name))});
    for (TPiece piece : {TPiece::Game, TPiece::Menu, TPiece::HighScore}) {
        TEncodedMusic music = EncodeMusic(piece);
        const std::int64_t size = DecodedWaveFileSize(music.Wave);
        set.DecodedSize.emplace_back(music.Name, size);
        set.Music.push_back({music.Name + ".wav", std::move(music.Wave)});
    }
    return set;
}

}  // namespace qv::gen
