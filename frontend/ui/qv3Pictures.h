// Pictures of the program's resources as Qt images: the menu's, the
// thumbnails', the about box's and the spinner's.
#pragma once

#include <QImage>

#include <cstdint>
#include <vector>

namespace qv::ui {

// A PNG or JPEG picture; null when `bytes` is empty or no picture.
QImage DecodePicture(const std::vector<std::uint8_t>& bytes);

// The spinner's frames (the resource "spinner.png", 12 frames of 48 x 48
// side by side); null when there is none. Every spinner starts with them.
QImage SpinnerFrames();

}  // namespace qv::ui
