// The menu picture's geometry and the scenario carousel: three thumbnails
// warped into fixed quadrilaterals of the base picture, written only where
// the base picture is white, and the neighbouring carousel slots.
#pragma once

#include <QImage>
#include <QPoint>
#include <QPolygon>
#include <QRect>

#include <array>
#include <functional>

namespace qv::ui {

inline constexpr int kMenuWidth = 500;
inline constexpr int kMenuHeight = 522;
// Carousel slots 0..99 are scenarios (0 the lobby), 100 "more scenarios".
inline constexpr int kMoreSlot = 100;

// Four corners: top-left, top-right, bottom-left, bottom-right.
using TQuad = std::array<QPoint, 4>;
inline const TQuad kLeftQuad = {QPoint(22, 362), QPoint(87, 376), QPoint(22, 458), QPoint(87, 485)};
inline const TQuad kCentreQuad = {QPoint(174, 384), QPoint(326, 384), QPoint(174, 500), QPoint(326, 500)};
inline const TQuad kRightQuad = {QPoint(414, 376), QPoint(479, 362), QPoint(414, 486), QPoint(479, 460)};

// The hot regions of the menu picture in their order: left arrow, right
// arrow, scenario field; filled by the even-odd rule.
std::array<QPolygon, 3> HotRegionPolygons(int top = 0);
// Where each region's state picture goes (left, top, right, bottom exclusive).
QRect RegionRect(int index);
// The logo area and the start-page browser's place when shown.
inline const QRect kLogoRect = QRect(QPoint(96, 61), QPoint(399, 281));
inline const QRect kBrowserRect = QRect(QPoint(102, 69), QPoint(393, 258));

struct TSlotNeighbours {
    int Previous = kMoreSlot;
    int Next = kMoreSlot;
};
// The available slots before and after `current` (0..100); 100 where there
// is none, so the carousel wraps through "more scenarios".
TSlotNeighbours SlotNeighbours(int current, const std::function<bool(int slot)>& available);

// Maps `thumb` bilinearly into `quad` of `target`, writing a pixel only where
// `base` has every bit of 0xFCFCFC set. `target` and `base` are 32-bit
// pictures of one size; points outside them and an empty thumbnail draw
// nothing.
void DrawCarouselThumb(QImage& target, const QImage& base, const QImage& thumb, const TQuad& quad);

// Copies `picture` whole, stretched, into `rect` of `target`.
void DrawStretched(QImage& target, const QImage& picture, const QRect& rect);

}  // namespace qv::ui
