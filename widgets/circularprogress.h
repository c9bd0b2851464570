// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// TCircularProgress: the busy indicator, a ring of twelve segments that fills and empties
// clockwise while the control is enabled and stands still while it is disabled.

#include <QImage>
#include <QPainterPath>
#include <QTimer>
#include <QWidget>
#include <array>
#include <cstdint>
#include <unordered_map>

// Colours are Windows colour values 0x00BBGGRR; clNone means "do not paint this part".
struct TProgressAppearance {
    static constexpr std::int32_t clNone = 0x1FFFFFFF;
    static constexpr std::int32_t clSilver = 0xC0C0C0;

    std::int32_t BorderColor = clNone;
    std::int32_t BackGroundColor = clNone;
    std::int32_t ActiveSegmentColor = 16752543;     // 0xFF9F9F, light blue
    std::int32_t TransitionSegmentColor = 10485760; // 0xA00000, dark blue
    std::int32_t InActiveSegmentColor = clSilver;
    std::int32_t ProgressSegmentColor = 4194432; // 0x400080, purple

    bool operator==(const TProgressAppearance&) const = default;
};

// The pure rules of the ring, kept apart from painting so they can be checked directly.
namespace circularprogress {

constexpr int kSegmentCount = 12;

// Head index (1..12) and phase flag; a new ring starts at head 1 with the phase set.
struct SpinState {
    int Head = 1;
    bool Phase = true;
    bool operator==(const SpinState&) const = default;
};

// One timer tick: the head moves one segment on; after the twelfth the phase toggles and the
// head returns to 1.
SpinState NextTick(SpinState state);

// Sweep of one segment in degrees for a control of the given size (22..26, growing with the
// larger side).
int SegmentSweep(int width, int height);

// Progress index p: 12 when position equals max, -1 when min >= position, otherwise
// position / ((max - min) / 12) rounded to the nearest integer (ties to even). Always within
// -1..12, also for an empty or inverted range.
int ProgressIndex(int min, int max, int position);

// Colour of segment i (1..12) for head h, the phase flag and progress index p.
std::int32_t SegmentColor(int i, SpinState state, int progress,
                          const TProgressAppearance& appearance);

// Windows colour value 0x00BBGGRR as an opaque QColor.
QColor ToQColor(std::int32_t color);

// Outlines of the twelve segments and the inner disc for a control of width x height.
struct Geometry {
    std::array<QPainterPath, kSegmentCount> Segments; // index 0 is segment 1
    QRectF InnerDisc;
};
Geometry BuildGeometry(int width, int height, bool hasBorder);

} // namespace circularprogress

class TCircularProgress : public QWidget {
    Q_OBJECT
public:
    // Created 60 x 60, enabled and therefore spinning.
    explicit TCircularProgress(QWidget* parent = nullptr);
    ~TCircularProgress() override;

    // Tick period in milliseconds (default 100); applies at once while spinning.
    unsigned Interval() const { return m_interval; }
    void SetInterval(unsigned milliseconds);

    int Min() const { return m_min; }
    void SetMin(int value);
    int Max() const { return m_max; }
    void SetMax(int value);
    int Position() const { return m_position; }
    void SetPosition(int value);
    int Step() const { return m_step; }
    void SetStep(int value) { m_step = value; }

    // Changing any colour repaints the control.
    const TProgressAppearance& Appearance() const { return m_appearance; }
    void SetAppearance(const TProgressAppearance& appearance);

    // Current head and phase of the ring.
    circularprogress::SpinState State() const { return m_state; }
    // True while the tick timer runs, i.e. while the control is enabled.
    bool IsSpinning() const { return m_timer.isActive(); }
    // Number of times the segment outlines were built; they are rebuilt only on a size change
    // (or a border switched on or off), never per paint.
    int GeometryBuildCount() const { return m_geometryBuilds; }
    // Number of ring pictures painted: each head and phase is painted once and then copied
    // (while spinning the ring shows the same 24 pictures over and over, and painting the
    // antialiased segments costs many times a copy); a new progress, size, look or pixel ratio
    // starts afresh.
    int PicturePaintCount() const { return m_picturesPainted; }

    QSize sizeHint() const override { return {60, 60}; }

public slots:
    // One step of the ring; the timer calls it every Interval ms. Does nothing while disabled,
    // so a disabled ring keeps its picture.
    void TimerTick();

signals:
    // Fired after every tick (OnProgressUpdate).
    void ProgressUpdate();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void rebuildGeometry();
    void updateTimer();
    QImage paintPicture(int progress) const;

    QTimer m_timer;
    unsigned m_interval = 100;
    int m_min = 0;
    int m_max = 100;
    int m_position = 0;
    int m_step = 10;
    TProgressAppearance m_appearance;
    circularprogress::SpinState m_state;
    circularprogress::Geometry m_geometry;
    QSize m_geometrySize;
    int m_geometryBuilds = 0;
    std::unordered_map<int, QImage> m_pictures;
    qreal m_picturesRatio = 0;
    int m_picturesProgress = 0;
    int m_picturesPainted = 0;
};
