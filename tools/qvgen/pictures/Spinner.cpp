#include "tools/qvgen/pictures/Spinner.h"

#include <cmath>

namespace qv::gen::pic {

TCanvas DrawSpinner() {
    TCanvas strip(kSpinnerSize * kSpinnerFrames, kSpinnerSize);
    const TColor head = Rgb(255, 170, 40);
    const TColor tail = Rgb(60, 110, 200);
    for (int frame = 0; frame < kSpinnerFrames; ++frame) {
        const TVec centre{kSpinnerSize * (static_cast<float>(frame) + 0.5f), kSpinnerSize * 0.5f};
        for (int dot = 0; dot < kSpinnerFrames; ++dot) {
            // The dot at the frame's position is the head; the others fade
            // behind it.
            const int age = (frame - dot + kSpinnerFrames) % kSpinnerFrames;
            const float t = static_cast<float>(age) / kSpinnerFrames;
            const float angle = static_cast<float>(dot) * 2 * kPi / kSpinnerFrames;
            const TVec at = centre + TVec{16 * std::sin(angle), -16 * std::cos(angle)};
            const float radius = 4.5f - 2.0f * t;
            strip.FillSolid(BoxAround(at, radius + 1, radius + 1), [at, radius](TVec p) { return SdCircle(p, at, radius); },
                            WithAlpha(Mix(head, tail, t), 1.0f - 0.8f * t));
        }
    }
    // Opaque, on the light grey of a dialog.
    strip.Flatten(kSpinnerBackdrop);
    return strip;
}

}  // namespace qv::gen::pic
