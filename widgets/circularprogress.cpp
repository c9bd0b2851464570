// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/circularprogress.h"

#include <QEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace circularprogress {

SpinState NextTick(SpinState state) {
    if (state.Head < kSegmentCount) {
        ++state.Head;
    } else {
        state.Phase = !state.Phase;
        state.Head = 1;
    }
    return state;
}

int SegmentSweep(int width, int height) {
    const int s = std::max(width, height);
    if (s < 40) {
        return 22;
    }
    if (s < 60) {
        return 23;
    }
    if (s < 100) {
        return 24;
    }
    if (s < 200) {
        return 25;
    }
    return 26;
}

int ProgressIndex(int min, int max, int position) {
    if (position == max) {
        return kSegmentCount;
    }
    if (min >= position) {
        return -1;
    }
    // Here position > min. An empty or inverted range would divide by zero or turn the ring
    // backwards: a position beyond it counts as complete.
    if (max <= min) {
        return kSegmentCount;
    }
    const double p = double(position) / ((double(max) - double(min)) / kSegmentCount);
    // Ties to even, as the default rounding mode does; clamped before the conversion to int.
    return int(std::nearbyint(std::clamp(p, -1.0, double(kSegmentCount))));
}

std::int32_t SegmentColor(int i, SpinState state, int progress,
                          const TProgressAppearance& appearance) {
    if (i == state.Head) {
        return appearance.TransitionSegmentColor;
    }
    const std::int32_t progressOrInactive =
        i <= progress ? appearance.ProgressSegmentColor : appearance.InActiveSegmentColor;
    if (state.Phase) {
        return i < state.Head ? appearance.ActiveSegmentColor : progressOrInactive;
    }
    return i < state.Head ? progressOrInactive : appearance.ActiveSegmentColor;
}

QColor ToQColor(std::int32_t color) {
    const auto v = std::uint32_t(color);
    return QColor(int(v & 0xFF), int((v >> 8) & 0xFF), int((v >> 16) & 0xFF));
}

Geometry BuildGeometry(int width, int height, bool hasBorder) {
    const int w = hasBorder ? width - 1 : width;
    const int h = hasBorder ? height - 1 : height;
    const QRectF box(0, 0, w, h);
    const int sweep = SegmentSweep(width, height);

    Geometry g;
    for (int i = 1; i <= kSegmentCount; ++i) {
        // Angles run clockwise from 3 o'clock; QPainterPath counts counter-clockwise.
        const double start = 30.0 * i - 120.0;
        QPainterPath pie;
        pie.moveTo(box.center());
        pie.arcTo(box, -start, -double(sweep));
        pie.closeSubpath();
        g.Segments[std::size_t(i - 1)] = pie;
    }
    g.InnerDisc = QRectF(std::nearbyint(w * 7.0 / 30.0), std::nearbyint(h * 7.0 / 30.0),
                         std::nearbyint(w - w * 14.0 / 30.0), std::nearbyint(h - h * 14.0 / 30.0));
    return g;
}

} // namespace circularprogress

using namespace circularprogress;

TCircularProgress::TCircularProgress(QWidget* parent) : QWidget(parent) {
    m_timer.setInterval(int(m_interval));
    connect(&m_timer, &QTimer::timeout, this, &TCircularProgress::TimerTick);
    resize(60, 60);
    rebuildGeometry();
    updateTimer();
}

TCircularProgress::~TCircularProgress() = default;

void TCircularProgress::SetInterval(unsigned milliseconds) {
    m_interval = milliseconds;
    // QTimer takes an int; a huge interval is as good as a stopped ring.
    m_timer.setInterval(int(std::min<unsigned>(milliseconds, 0x7FFFFFFF)));
}

void TCircularProgress::SetMin(int value) {
    m_min = value;
    update();
}

void TCircularProgress::SetMax(int value) {
    m_max = value;
    update();
}

void TCircularProgress::SetPosition(int value) {
    m_position = value;
    update();
}

void TCircularProgress::SetAppearance(const TProgressAppearance& appearance) {
    const bool borderChanged = (appearance.BorderColor == TProgressAppearance::clNone) !=
                               (m_appearance.BorderColor == TProgressAppearance::clNone);
    m_appearance = appearance;
    m_pictures.clear();
    if (borderChanged) {
        rebuildGeometry();
    }
    update();
}

void TCircularProgress::TimerTick() {
    if (!isEnabled()) {
        return;
    }
    m_state = NextTick(m_state);
    update();
    emit ProgressUpdate();
}

void TCircularProgress::paintEvent(QPaintEvent*) {
    const int progress = ProgressIndex(m_min, m_max, m_position);
    const qreal ratio = devicePixelRatioF();
    // Only the pictures of the shown progress are kept: at most 24, whatever the size.
    if (ratio != m_picturesRatio || progress != m_picturesProgress) {
        m_pictures.clear();
        m_picturesRatio = ratio;
        m_picturesProgress = progress;
    }
    const int key = m_state.Head * 2 + int(m_state.Phase);
    auto picture = m_pictures.find(key);
    if (picture == m_pictures.end()) {
        picture = m_pictures.emplace(key, paintPicture(progress)).first;
        ++m_picturesPainted;
    }
    QPainter painter(this);
    painter.drawImage(QPointF(0, 0), picture->second);
}

QImage TCircularProgress::paintPicture(int progress) const {
    const qreal ratio = m_picturesRatio;
    QImage image(size() * ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    const auto none = TProgressAppearance::clNone;
    if (m_appearance.BackGroundColor != none) {
        painter.fillRect(rect(), ToQColor(m_appearance.BackGroundColor));
    }
    if (m_appearance.BorderColor != none) {
        painter.setPen(ToQColor(m_appearance.BorderColor));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(0, 0, width() - 1, height() - 1);
    }

    painter.setRenderHint(QPainter::Antialiasing, true);
    QPainterPath ring;
    ring.setFillRule(Qt::OddEvenFill);
    ring.addRect(QRectF(rect()));
    ring.addEllipse(m_geometry.InnerDisc);
    painter.setClipPath(ring);
    painter.setPen(Qt::NoPen);

    for (int i = 1; i <= kSegmentCount; ++i) {
        const std::int32_t color = SegmentColor(i, m_state, progress, m_appearance);
        if (color != none) {
            painter.fillPath(m_geometry.Segments[std::size_t(i - 1)], ToQColor(color));
        }
    }
    return image;
}

void TCircularProgress::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // A hidden widget gets its pending resize event on first show, with an unchanged size.
    if (size() != m_geometrySize) {
        rebuildGeometry();
    }
}

void TCircularProgress::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::EnabledChange) {
        updateTimer();
    }
}

void TCircularProgress::rebuildGeometry() {
    m_geometry =
        BuildGeometry(width(), height(), m_appearance.BorderColor != TProgressAppearance::clNone);
    m_geometrySize = size();
    ++m_geometryBuilds;
    m_pictures.clear();
}

void TCircularProgress::updateTimer() {
    if (isEnabled()) {
        if (!m_timer.isActive()) {
            m_timer.start();
        }
    } else {
        m_timer.stop();
    }
}
