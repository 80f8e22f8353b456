// The carousel: neighbouring slots, the white mask and the warp of a
// thumbnail of any size into its quadrilateral; the hot regions' tracker and
// the snapping of a dragged window.
#include <gtest/gtest.h>

#include <QImage>

#include <set>
#include <vector>

#include "frontend/ui/qv3Carousel.h"
#include "frontend/ui/qv3Magnetic.h"

namespace qv::ui {
namespace {

TSlotNeighbours Neighbours(int current, std::set<int> available) {
    return SlotNeighbours(current, [available](int slot) { return available.count(slot) > 0; });
}

TEST(CarouselTest, NeighboursSkipMissingSlotsAndWrapThroughMoreScenarios) {
    struct Case {
        int current;
        std::set<int> available;
        int previous, next;
    };
    const std::vector<Case> cases = {
        {5, {5}, 100, 100},            // one scenario: both sides show "more"
        {100, {2, 5, 40}, 40, 2},      // from "more": the highest and the lowest
        {2, {2, 5, 40}, 100, 5},       // left of the lowest is "more"
        {40, {2, 5, 40}, 5, 100},      // right of the highest is "more"
        {5, {0, 5, 99}, 0, 99},        // the lobby and slot 99 are slots like any
        {100, {}, 100, 100},           // nothing installed
        {0, {0}, 100, 100},
    };
    for (const Case& c : cases) {
        const TSlotNeighbours n = Neighbours(c.current, c.available);
        EXPECT_EQ(n.Previous, c.previous) << "current " << c.current;
        EXPECT_EQ(n.Next, c.next) << "current " << c.current;
    }
}

QImage Filled(int w, int h, QRgb colour) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

TEST(CarouselTest, OnlyWhiteOfTheBaseTakesTheThumbnail) {
    QImage base = Filled(kMenuWidth, kMenuHeight, 0xFFFCFCFC);
    // One column of the centre quad is 251 in one byte: it keeps the picture.
    for (int y = 0; y < kMenuHeight; ++y) base.setPixel(250, y, 0xFFFCFBFC);
    QImage target = Filled(kMenuWidth, kMenuHeight, 0xFF000000);
    DrawCarouselThumb(target, base, Filled(10, 10, 0xFF3366AA), kCentreQuad);
    EXPECT_EQ(target.pixel(200, 440), 0xFF3366AAu);
    EXPECT_EQ(target.pixel(250, 440), 0xFF000000u);
    // Outside the quad nothing changed.
    EXPECT_EQ(target.pixel(100, 100), 0xFF000000u);
    EXPECT_EQ(target.pixel(330, 440), 0xFF000000u);
}

TEST(CarouselTest, AThumbnailOfAnySizeFillsTheCentreQuad) {
    const QImage base = Filled(kMenuWidth, kMenuHeight, 0xFFFFFFFF);
    for (const QSize size : {QSize(1, 1), QSize(3, 200), QSize(640, 480)}) {
        QImage target = Filled(kMenuWidth, kMenuHeight, 0xFF000000);
        const QImage thumb = Filled(size.width(), size.height(), 0xFF00FF00);
        DrawCarouselThumb(target, base, thumb, kCentreQuad);
        int holes = 0;
        for (int y = 385; y < 499; ++y)
            for (int x = 175; x < 325; ++x) holes += target.pixel(x, y) == 0xFF000000u;
        EXPECT_EQ(holes, 0) << size.width() << "x" << size.height();
    }
}

TEST(CarouselTest, AnEmptyThumbnailDrawsNothing) {
    const QImage base = Filled(kMenuWidth, kMenuHeight, 0xFFFFFFFF);
    QImage target = Filled(kMenuWidth, kMenuHeight, 0xFF123456);
    const QImage before = target;
    DrawCarouselThumb(target, base, QImage(), kLeftQuad);
    DrawCarouselThumb(target, base, QImage(0, 0, QImage::Format_RGB32), kRightQuad);
    EXPECT_EQ(target, before);
}

TEST(CarouselTest, TheSideQuadsStayInsideThePicture) {
    // A base smaller than the quads: points outside it are skipped.
    const QImage base = Filled(100, 400, 0xFFFFFFFF);
    QImage target = Filled(100, 400, 0xFF000000);
    DrawCarouselThumb(target, base, Filled(8, 8, 0xFFFFFFFF), kLeftQuad);
    EXPECT_EQ(target.pixel(50, 380), 0xFFFFFFFFu);
}

struct Recorder {
    std::vector<std::pair<int, int>> states;
    std::vector<int> clicks;
    void Attach(THotRegionTracker& t) {
        t.OnStateChange = [this](int i, int s) { states.emplace_back(i, s); };
        t.OnClick = [this](int i) { clicks.push_back(i); };
    }
};

TEST(MagneticTest, HoverPressLeaveReenterAndRelease) {
    THotRegionTracker t;
    for (const QPolygon& p : HotRegionPolygons()) t.AddPolygonRegion(p);
    Recorder r;
    r.Attach(t);
    const QPoint left(120, 435), field(250, 440), outside(20, 20);

    t.MouseMove(left);
    EXPECT_TRUE(t.ButtonDown(left));
    t.ButtonUp(left);
    using P = std::pair<int, int>;
    EXPECT_EQ(r.states, (std::vector<P>{{0, 1}, {0, 2}, {0, 1}}));
    EXPECT_EQ(r.clicks, (std::vector<int>{0}));

    // Press, leave, come back with the button held (pressed again), leave,
    // release outside: no click.
    r = {};
    r.Attach(t);
    t.ButtonDown(left);
    t.MouseMove(outside);
    t.MouseMove(left);
    t.MouseMove(field);
    t.ButtonUp(field);
    EXPECT_EQ(r.states, (std::vector<P>{{0, 2}, {0, 0}, {0, 2}, {0, 0}, {2, 1}}));
    EXPECT_TRUE(r.clicks.empty());
    EXPECT_EQ(t.Pressed(), -1);

    // A press outside every region starts a drag instead.
    EXPECT_FALSE(t.ButtonDown(outside));
}

TEST(MagneticTest, TheLowerIndexWinsWhereRegionsOverlap) {
    THotRegionTracker t;
    t.AddPolygonRegion(QPolygon(QRect(0, 0, 50, 50)));
    t.AddPolygonRegion(QPolygon(QRect(25, 25, 50, 50)));
    Recorder r;
    r.Attach(t);
    t.MouseMove(QPoint(30, 30));
    t.ButtonDown(QPoint(30, 30));
    EXPECT_EQ(r.states, (std::vector<std::pair<int, int>>{{0, 1}, {0, 2}}));
    EXPECT_EQ(t.RegionAt(QPoint(60, 60)), 1);
}

TEST(MagneticTest, SnapTable) {
    const QRect screen(0, 0, 1024, 768);
    const QSize size(500, 560);
    struct Case {
        QPoint proposed, expected;
    };
    const std::vector<Case> cases = {
        {{9, 100}, {0, 100}},        // within 9 pixels of the left edge
        {{10, 100}, {10, 100}},      // exactly 10 does not snap
        {{-40, 100}, {0, 100}},      // off the left edge
        {{600, 100}, {524, 100}},    // partly off the right edge: SW - W
        {{515, 100}, {524, 100}},    // within 10 of the right edge
        {{200, 205}, {200, 208}},    // near the bottom: SH - H
        {{200, 5}, {200, 0}},
    };
    for (const Case& c : cases) EXPECT_EQ(SnapPosition(c.proposed, size, {}, screen), c.expected) << c.proposed.x();

    // A target's edges: below its bottom, right of its right edge.
    const std::vector<QRect> targets = {QRect(100, 100, 200, 100)};  // right 300, bottom 200
    EXPECT_EQ(SnapPosition({305, 195}, QSize(100, 100), targets, screen), QPoint(300, 200));
    // Above its top, left of its left edge.
    EXPECT_EQ(SnapPosition({5 + 0, 5}, QSize(96, 96), targets, QRect(-1000, -1000, 3000, 3000)), QPoint(4, 4));
    // On a second screen to the right the window stays there.
    EXPECT_EQ(SnapPosition({1500, 300}, size, {}, QRect(1024, 0, 1920, 1080)), QPoint(1500, 300));
}

TEST(MagneticTest, BorderHitTestTable) {
    const QSize client(100, 80);
    struct Case {
        QPoint p;
        int code;
    };
    const std::vector<Case> cases = {
        {{0, 0}, HTTOPLEFT},      {{4, 4}, HTTOPLEFT},       {{99, 0}, HTTOPRIGHT}, {{99, 79}, HTBOTTOMRIGHT},
        {{0, 79}, HTBOTTOMLEFT},  {{2, 40}, HTLEFT},         {{96, 40}, HTRIGHT},   {{50, 3}, HTTOP},
        {{50, 76}, HTBOTTOM},     {{5, 5}, 0},               {{95, 75}, 0},         {{50, 40}, 0},
    };
    for (const Case& c : cases) EXPECT_EQ(BorderHitTest(c.p, client), c.code) << c.p.x() << "," << c.p.y();
}

}  // namespace
}  // namespace qv::ui
