#include "frontend/ui/qv3Carousel.h"

#include <QPainter>

#include <algorithm>

namespace qv::ui {

std::array<QPolygon, 3> HotRegionPolygons(int top) {
    std::array<QPolygon, 3> regions = {
        QPolygon({QPoint(138, 388), QPoint(145, 388), QPoint(145, 481), QPoint(136, 481), QPoint(94, 438),
                  QPoint(94, 428)}),
        QPolygon({QPoint(361, 389), QPoint(403, 430), QPoint(403, 438), QPoint(359, 479), QPoint(349, 479),
                  QPoint(349, 389)}),
        QPolygon({QPoint(176, 372), QPoint(322, 372), QPoint(339, 387), QPoint(339, 496), QPoint(325, 514),
                  QPoint(171, 514), QPoint(158, 500), QPoint(157, 372)}),
    };
    for (QPolygon& p : regions) p.translate(0, top);
    return regions;
}

QRect RegionRect(int index) {
    switch (index) {
        case 0: return QRect(QPoint(88, 366), QPoint(154, 494));
        case 1: return QRect(QPoint(345, 366), QPoint(411, 494));
        case 2: return QRect(QPoint(155, 349), QPoint(344, 520));
        default: return {};
    }
}

TSlotNeighbours SlotNeighbours(int current, const std::function<bool(int slot)>& available) {
    TSlotNeighbours n;
    int p = current - 1;
    while (p >= 0 && !available(p)) --p;
    n.Previous = p < 0 ? kMoreSlot : p;
    int q = (current + 1) % (kMoreSlot + 1);
    while (q < kMoreSlot && !available(q)) ++q;
    n.Next = q;
    return n;
}

void DrawCarouselThumb(QImage& target, const QImage& base, const QImage& thumb, const TQuad& quad) {
    if (thumb.isNull() || thumb.width() <= 0 || thumb.height() <= 0) return;
    if (target.format() != QImage::Format_RGB32 && target.format() != QImage::Format_ARGB32)
        target = target.convertToFormat(QImage::Format_RGB32);
    const QImage src = thumb.format() == QImage::Format_RGB32 ? thumb : thumb.convertToFormat(QImage::Format_RGB32);
    const QImage mask = base.format() == QImage::Format_RGB32 ? base : base.convertToFormat(QImage::Format_RGB32);
    int minX = quad[0].x(), maxX = minX, minY = quad[0].y(), maxY = minY;
    for (const QPoint& p : quad) {
        minX = std::min(minX, p.x());
        maxX = std::max(maxX, p.x());
        minY = std::min(minY, p.y());
        maxY = std::max(maxY, p.y());
    }
    if (maxX <= minX || maxY <= minY) return;
    // The parameters are 32-bit floats stepped by addition; the corners are
    // blended in long double so the picture is the same on every build.
    const float du = 1.0f / static_cast<float>(maxX - minX);
    const float dv = 1.0f / static_cast<float>(maxY - minY);
    const long double X0 = quad[0].x(), X1 = quad[1].x(), X2 = quad[2].x(), X3 = quad[3].x();
    const long double Y0 = quad[0].y(), Y1 = quad[1].y(), Y2 = quad[2].y(), Y3 = quad[3].y();
    const int w = src.width(), h = src.height();
    const int limitW = std::min(target.width(), mask.width()), limitH = std::min(target.height(), mask.height());
    for (float v = 0.0001f; v < 1.0f; v += dv) {
        const long double lv = v;
        const int sy = std::min(h - 1, static_cast<int>(static_cast<float>(h) * v));
        const auto* srcRow = reinterpret_cast<const QRgb*>(src.constScanLine(sy));
        for (float u = 0.0001f; u < 1.0f; u += du) {
            const long double lu = u;
            const long double fx = ((1 - lu) * X0 + lu * X1) * (1 - lv) + ((1 - lu) * X2 + lu * X3) * lv;
            const long double fy = ((1 - lv) * Y0 + lv * Y2) * (1 - lu) + ((1 - lv) * Y1 + lv * Y3) * lu;
            const int x = static_cast<int>(fx);
            const int y = static_cast<int>(fy);
            if (x < 0 || y < 0 || x >= limitW || y >= limitH) continue;
            const QRgb b = reinterpret_cast<const QRgb*>(mask.constScanLine(y))[x];
            if ((b & 0xFCFCFCu) != 0xFCFCFCu) continue;
            const int sx = std::min(w - 1, static_cast<int>(static_cast<float>(w) * u));
            reinterpret_cast<QRgb*>(target.scanLine(y))[x] = srcRow[sx] | 0xFF000000u;
        }
    }
}

void DrawStretched(QImage& target, const QImage& picture, const QRect& rect) {
    if (picture.isNull() || rect.isEmpty()) return;
    QPainter painter(&target);
    painter.drawImage(rect, picture);
}

}  // namespace qv::ui
