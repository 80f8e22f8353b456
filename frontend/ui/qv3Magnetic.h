// Window snapping and polygon hot regions. Pressing outside every region
// drags the window, which snaps to the snap targets and to the edges of the
// screen under it; the regions track hover and press and report clicks.
#pragma once

#include <QObject>
#include <QPoint>
#include <QPolygon>
#include <QRect>
#include <QSize>

#include <functional>
#include <vector>

class QWidget;

namespace qv::ui {

// 0 normal, 1 under the mouse, 2 pressed.
using THotspotState = int;
inline constexpr THotspotState hsNormal = 0;
inline constexpr THotspotState hsHover = 1;
inline constexpr THotspotState hsPressed = 2;

// Hover, press and click of polygon regions; the lowest index wins where
// regions overlap. Pure: fed with points, it reports through its handlers.
class THotRegionTracker {
public:
    void AddPolygonRegion(const QPolygon& points) { regions_.push_back(points); }
    int RegionCount() const { return static_cast<int>(regions_.size()); }
    // The first region that holds `p`, or -1.
    int RegionAt(const QPoint& p) const;

    // True when the press hit a region; false means the press starts a drag.
    bool ButtonDown(const QPoint& p);
    void MouseMove(const QPoint& p);
    void ButtonUp(const QPoint& p);

    int Pressed() const { return pressed_; }
    int Hover() const { return hover_; }

    std::function<void(int index, THotspotState state)> OnStateChange;
    std::function<void(int index)> OnClick;

private:
    void Notify(int index, THotspotState state) {
        if (OnStateChange) OnStateChange(index, state);
    }
    std::vector<QPolygon> regions_;
    int pressed_ = -1;
    int hover_ = -1;
};

// The position a dragged window of `size` takes: first each target rectangle
// (vertical, then horizontal), then the edges of `screen`; "near" means a
// distance below `distance`.
QPoint SnapPosition(QPoint proposed, QSize size, const std::vector<QRect>& targets, const QRect& screen,
                    int distance = 10);

// Border codes of a window that can be resized by its edges (the main
// window cannot): 10 left, 11 right, 12 top, 13 top left, 14 top right,
// 15 bottom, 16 bottom left, 17 bottom right; 0 inside. The border is 5
// pixels wide; `p` is in client coordinates of a W x H client.
inline constexpr int HTLEFT = 10, HTRIGHT = 11, HTTOP = 12, HTTOPLEFT = 13, HTTOPRIGHT = 14, HTBOTTOM = 15,
                     HTBOTTOMLEFT = 16, HTBOTTOMRIGHT = 17;
int BorderHitTest(QPoint p, QSize client);

// The component on a window: an event filter on the picture widget that
// drags its top-level window and drives the tracker.
class TMagnetic : public QObject {
    Q_OBJECT
public:
    // Watches `picture` (mouse tracking is switched on); moves its window.
    explicit TMagnetic(QWidget* picture);

    THotRegionTracker& Regions() { return tracker_; }
    void AddPolygonRegion(const QPolygon& points) { tracker_.AddPolygonRegion(points); }

    bool Active = true;
    bool CanResize = false;
    int MagEffect = 10;
    bool MagTray = true;
    bool MagExplorer = false;
    bool MagCustom = false;
    // The custom snap target, used while MagCustom is set.
    QWidget* CustomWindow = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* picture_;
    THotRegionTracker tracker_;
    bool dragging_ = false;
    QPoint down_;
};

}  // namespace qv::ui
