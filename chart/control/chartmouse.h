#pragma once
// Mouse handling of the chart widget: one entry per event, forwarded by TCustomPlotChart.

class QMouseEvent;
class QEnterEvent;
class QEvent;
class QPainter;
class TCustomPlotChart;

class ChartMouse {
public:
    explicit ChartMouse(TCustomPlotChart& chart) : m_chart(chart) {}

    void mousePressEvent(QMouseEvent* event);
    void mouseMoveEvent(QMouseEvent* event);
    void mouseReleaseEvent(QMouseEvent* event);
    void mouseDoubleClickEvent(QMouseEvent* event);
    void enterEvent(QEnterEvent* event);
    void leaveEvent(QEvent* event);

    // Draws what the mouse shows over the presented picture (the rubber band), never into the
    // chart's own images. Called at the end of the widget's paint event.
    void paintOverlay(QPainter& painter);

private:
    TCustomPlotChart& m_chart;
};
