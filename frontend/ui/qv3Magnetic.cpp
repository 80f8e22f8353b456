#include "frontend/ui/qv3Magnetic.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QWidget>
#include <QWindow>

#include <cstdlib>

namespace qv::ui {

int THotRegionTracker::RegionAt(const QPoint& p) const {
    for (std::size_t i = 0; i < regions_.size(); ++i)
        if (regions_[i].containsPoint(p, Qt::OddEvenFill)) return static_cast<int>(i);
    return -1;
}

bool THotRegionTracker::ButtonDown(const QPoint& p) {
    const int index = RegionAt(p);
    pressed_ = index;
    if (index < 0) return false;
    Notify(index, hsPressed);
    return true;
}

void THotRegionTracker::MouseMove(const QPoint& p) {
    if (hover_ >= 0) {
        if (regions_[static_cast<std::size_t>(hover_)].containsPoint(p, Qt::OddEvenFill)) return;
        const int left = hover_;
        hover_ = -1;
        Notify(left, hsNormal);
    }
    const int index = RegionAt(p);
    if (index < 0) return;
    hover_ = index;
    Notify(index, index == pressed_ ? hsPressed : hsHover);
}

void THotRegionTracker::ButtonUp(const QPoint& p) {
    const int pressed = pressed_;
    pressed_ = -1;
    if (pressed < 0) return;
    if (regions_[static_cast<std::size_t>(pressed)].containsPoint(p, Qt::OddEvenFill)) {
        Notify(pressed, hsHover);
        if (OnClick) OnClick(pressed);
    }
}

QPoint SnapPosition(QPoint proposed, QSize size, const std::vector<QRect>& targets, const QRect& screen,
                    int distance) {
    auto near = [distance](int a, int b) { return std::abs(a - b) < distance; };
    int x = proposed.x(), y = proposed.y();
    const int w = size.width(), h = size.height();
    for (const QRect& t : targets) {
        const int l = t.left(), top = t.top(), r = t.left() + t.width(), b = t.top() + t.height();
        if (near(y, b)) y = b;
        else if (near(y + h, top)) y = top - h;
        if (near(x, r)) x = r;
        else if (near(x + w, l)) x = l - w;
    }
    const int sx = screen.left(), sy = screen.top(), sw = screen.width(), sh = screen.height();
    if (x - sx < distance) x = sx;
    if (x - sx > sw - w - distance) x = sx + sw - w;
    if (y - sy < distance) y = sy;
    if (y - sy > sh - h - distance) y = sy + sh - h;
    return {x, y};
}

int BorderHitTest(QPoint p, QSize client) {
    const bool left = p.x() <= 4, right = p.x() > client.width() - 5;
    const bool top = p.y() <= 4, bottom = p.y() > client.height() - 5;
    if (left && top) return HTTOPLEFT;
    if (right && top) return HTTOPRIGHT;
    if (right && bottom) return HTBOTTOMRIGHT;
    if (left && bottom) return HTBOTTOMLEFT;
    if (left) return HTLEFT;
    if (top) return HTTOP;
    if (bottom) return HTBOTTOM;
    if (right) return HTRIGHT;
    return 0;
}

namespace {
Qt::Edges EdgesOf(int code) {
    switch (code) {
        case HTLEFT: return Qt::LeftEdge;
        case HTRIGHT: return Qt::RightEdge;
        case HTTOP: return Qt::TopEdge;
        case HTBOTTOM: return Qt::BottomEdge;
        case HTTOPLEFT: return Qt::TopEdge | Qt::LeftEdge;
        case HTTOPRIGHT: return Qt::TopEdge | Qt::RightEdge;
        case HTBOTTOMLEFT: return Qt::BottomEdge | Qt::LeftEdge;
        case HTBOTTOMRIGHT: return Qt::BottomEdge | Qt::RightEdge;
        default: return {};
    }
}
}  // namespace

TMagnetic::TMagnetic(QWidget* picture) : QObject(picture), picture_(picture) {
    picture_->setMouseTracking(true);
    picture_->installEventFilter(this);
}

bool TMagnetic::eventFilter(QObject* watched, QEvent* event) {
    if (watched != picture_ || !Active) return false;
    switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick: {
            auto* e = static_cast<QMouseEvent*>(event);
            if (e->button() != Qt::LeftButton) return false;
            dragging_ = false;
            down_ = e->position().toPoint();
            // A window without a frame of its own is resized by its edges.
            if (CanResize && picture_->window()->isWindow() && picture_->window()->windowState() == Qt::WindowNoState) {
                QWidget* window = picture_->window();
                const int code = BorderHitTest(picture_->mapTo(window, down_), window->size());
                if (code != 0 && window->windowHandle()) {
                    window->windowHandle()->startSystemResize(EdgesOf(code));
                    return true;
                }
            }
            if (!tracker_.ButtonDown(down_)) {
                QWidget* window = picture_->window();
                // Wayland lets no client place its window: the compositor
                // moves it, without snapping.
                if (QGuiApplication::platformName().startsWith("wayland")) {
                    if (window->windowHandle()) window->windowHandle()->startSystemMove();
                } else {
                    dragging_ = true;
                }
            }
            return false;
        }
        case QEvent::MouseMove: {
            auto* e = static_cast<QMouseEvent*>(event);
            const QPoint p = e->position().toPoint();
            if (dragging_) {
                if (!(QGuiApplication::mouseButtons() & Qt::LeftButton)) {
                    dragging_ = false;
                    return false;
                }
                QWidget* window = picture_->window();
                const QPoint proposed = window->frameGeometry().topLeft() + (p - down_);
                std::vector<QRect> targets;
                if (MagCustom && CustomWindow) targets.push_back(CustomWindow->frameGeometry());
                // No taskbar or file-manager window to snap to here.
                QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
                const QRect area = screen ? screen->geometry() : QRect(0, 0, 0, 0);
                window->move(area.isEmpty() ? proposed
                                            : SnapPosition(proposed, window->frameGeometry().size(), targets, area,
                                                           MagEffect));
            } else {
                tracker_.MouseMove(p);
            }
            return false;
        }
        case QEvent::MouseButtonRelease: {
            auto* e = static_cast<QMouseEvent*>(event);
            if (e->button() != Qt::LeftButton) return false;
            dragging_ = false;
            tracker_.ButtonUp(e->position().toPoint());
            return false;
        }
        case QEvent::Leave:
            // The pointer left the picture: no region is under it any more.
            tracker_.MouseMove(QPoint(-1000000, -1000000));
            return false;
        default:
            return false;
    }
}

}  // namespace qv::ui
