// The pictures of the online forms: the new-best banner and the three
// state marks of the world's-best download (in progress, done, failed).
#pragma once

#include <vector>

#include "tools/qvgen/pictures/Canvas.h"

namespace qv::gen::pic {

TCanvas DrawNewBest();                 // 400 x 130
TCanvas DrawWorldBestState(int state);  // 1..3, 16 x 16

// "newbest.jpg", "wbstate1.png" .. "wbstate3.png".
void AddOnlinePictures(std::vector<TGeneratedFile>& out);

}  // namespace qv::gen::pic
