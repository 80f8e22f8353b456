#include "frontend/ui/qv3Pictures.h"

#include <exception>
#include <memory>

#include "game/assets/qv3Resources.h"
#include "media/zkImageLoader.h"

namespace qv::ui {

namespace {

QImage ToQImage(const TBitmap& bitmap) {
    QImage image(bitmap.Width, bitmap.Height, QImage::Format_RGB32);
    for (int y = 0; y < bitmap.Height; ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < bitmap.Width; ++x) row[x] = bitmap.At(x, y) | 0xFF000000u;
    }
    return image;
}

}  // namespace

QImage DecodePicture(const std::vector<std::uint8_t>& bytes) {
    if (bytes.empty()) return {};
    TMemoryStream stream(bytes);
    const std::unique_ptr<TBitmap> bitmap = LoadBitmapFromImageStream(&stream);
    return bitmap ? ToQImage(*bitmap) : QImage();
}

QImage SpinnerFrames() {
    try {
        if (!GameResources) return {};
        return DecodePicture(GameResources->OpenResource("spinner.png"));
    } catch (const std::exception&) {
        return {};
    }
}

}  // namespace qv::ui
