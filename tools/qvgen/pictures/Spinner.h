// The please-wait box's spinner: twelve frames of 48 x 48 side by side.
#pragma once

#include "tools/qvgen/pictures/Canvas.h"

namespace qv::gen::pic {

inline constexpr int kSpinnerFrames = 12;
inline constexpr int kSpinnerSize = 48;
inline constexpr const char* kSpinnerName = "spinner.png";

inline constexpr TColor kSpinnerBackdrop = Rgb(239, 239, 239);

TCanvas DrawSpinner();

}  // namespace qv::gen::pic
