// SPDX-License-Identifier: GPL-3.0-or-later
#include "chart/control/draw/textstamps.h"

#include <QFontMetrics>
#include <QPainter>
#include <algorithm>

TextStamps::Stamp TextStamps::make(const QFont& font, const QString& text, int dotsPerMeterX,
                                   int dotsPerMeterY) {
    Stamp stamp;
    QImage probe(1, 1, QImage::Format_RGB32);
    probe.setDotsPerMeterX(dotsPerMeterX);
    probe.setDotsPerMeterY(dotsPerMeterY);
    const QFontMetrics metrics(font, &probe);
    // Room for every pixel the text may set: its advance and a line height on each side.
    const int pad = metrics.height() + 2;
    const int width = metrics.horizontalAdvance(text) + 2 * pad;
    const int height = metrics.height() + 2 * pad;
    if (width <= 0 || height <= 0 || width > 8192 || height > 8192) {
        return stamp;
    }
    QImage image(width, height, QImage::Format_RGB32);
    image.setDotsPerMeterX(dotsPerMeterX);
    image.setDotsPerMeterY(dotsPerMeterY);
    image.fill(0xFFFFFFFF);
    const QPoint origin(pad, pad + metrics.ascent());
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing, false);
        painter.setRenderHint(QPainter::TextAntialiasing, false);
        painter.setFont(font);
        painter.setPen(QColor(0, 0, 0));
        painter.drawText(origin, text);
    }
    for (int y = 0; y < height; ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < width;) {
            const QRgb p = row[x] & 0xFFFFFF;
            if (p == 0xFFFFFF) {
                ++x;
                continue;
            }
            if (p != 0) {
                return stamp; // a pixel only partly set: not monochrome
            }
            // Pixels touching the border may stand for more outside: not stamped.
            if (x == 0 || y == 0 || y == height - 1) {
                return stamp;
            }
            int end = x;
            while (end + 1 < width && (row[end + 1] & 0xFFFFFF) == 0) {
                ++end;
            }
            if (end == width - 1) {
                return stamp;
            }
            stamp.runs.push_back({y - origin.y(), x - origin.x(), end - origin.x()});
            x = end + 1;
        }
    }
    stamp.usable = true;
    return stamp;
}

bool TextStamps::Draw(QImage& image, const std::string& fontKey, const QFont& font, QPoint origin,
                      const QString& text, QRgb pixel) {
    if (image.depth() != 32 || image.isNull()) {
        return false;
    }
    std::string key = fontKey;
    key += '\n';
    key += std::to_string(image.dotsPerMeterX());
    key += ' ';
    key += std::to_string(image.dotsPerMeterY());
    key += '\n';
    key += text.toStdString();
    auto found = m_stamps.find(key);
    if (found == m_stamps.end()) {
        if (m_stamps.size() >= kMaxStamps) {
            m_stamps.clear();
        }
        found = m_stamps
                    .emplace(std::move(key),
                             make(font, text, image.dotsPerMeterX(), image.dotsPerMeterY()))
                    .first;
    }
    const Stamp& stamp = found->second;
    if (!stamp.usable) {
        return false;
    }
    const int w = image.width();
    const int h = image.height();
    for (const Run& run : stamp.runs) {
        const int y = origin.y() + run.dy;
        if (y < 0 || y >= h) {
            continue;
        }
        const int x0 = std::max(origin.x() + run.dx0, 0);
        const int x1 = std::min(origin.x() + run.dx1, w - 1);
        if (x0 > x1) {
            continue;
        }
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        std::fill(row + x0, row + x1 + 1, pixel);
    }
    return true;
}
