// SPDX-License-Identifier: GPL-3.0-or-later
#include "chart/control/draw/recordingcanvas.h"

RecordingCanvas::Call RecordingCanvas::drawing(Op op) const {
    Call call{op, m_pen, m_brush, m_font, {}, 0, {}};
    return call;
}

void RecordingCanvas::SetPen(const CanvasPen& pen) {
    m_pen = pen;
    m_calls.push_back(drawing(Op::Pen));
}

void RecordingCanvas::SetBrush(const CanvasBrush& brush) {
    m_brush = brush;
    m_calls.push_back(drawing(Op::Brush));
}

void RecordingCanvas::SetFont(const TChartFont& font) {
    m_font = font;
    m_calls.push_back(drawing(Op::Font));
}

void RecordingCanvas::Line(QPoint from, QPoint to) {
    Call call = drawing(Op::Line);
    call.points = {from, to};
    m_calls.push_back(std::move(call));
}

void RecordingCanvas::Polyline(const QPoint* points, int count) {
    Call call = drawing(Op::Polyline);
    call.points.assign(points, points + count);
    m_calls.push_back(std::move(call));
}

void RecordingCanvas::Polygon(const QPoint* points, int count) {
    Call call = drawing(Op::Polygon);
    call.points.assign(points, points + count);
    m_calls.push_back(std::move(call));
}

void RecordingCanvas::Rectangle(int x1, int y1, int x2, int y2) {
    Call call = drawing(Op::Rectangle);
    call.points = {QPoint(x1, y1), QPoint(x2, y2)};
    m_calls.push_back(std::move(call));
}

void RecordingCanvas::FillRect(int x1, int y1, int x2, int y2) {
    Call call = drawing(Op::FillRect);
    call.points = {QPoint(x1, y1), QPoint(x2, y2)};
    m_calls.push_back(std::move(call));
}

void RecordingCanvas::SetPixel(QPoint at, TColor color) {
    Call call = drawing(Op::Pixel);
    call.points = {at};
    call.color = color;
    m_calls.push_back(std::move(call));
}

void RecordingCanvas::TextOut(int x, int y, const QString& text) {
    Call call = drawing(Op::Text);
    call.points = {QPoint(x, y)};
    call.text = text;
    m_calls.push_back(std::move(call));
}

QSize RecordingCanvas::TextExtent(const QString& text) {
    int height = m_font.Height < 0 ? -m_font.Height : m_font.Height;
    return QSize(7 * static_cast<int>(text.size()), height == 0 ? 13 : height);
}

std::vector<RecordingCanvas::Call> RecordingCanvas::CallsOf(Op op) const {
    std::vector<Call> out;
    for (const Call& call : m_calls) {
        if (call.op == op) {
            out.push_back(call);
        }
    }
    return out;
}
