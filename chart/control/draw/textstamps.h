// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Texts drawn once, then stamped. A text drawn without antialiasing sets whole pixels to the
// pen colour, and the same ones relative to its origin wherever that origin lies on the pixel
// grid; so the set pixels, found once by drawing the text into an image of its own, stand for
// every later drawing of the same text in the same font. In trend mode the axis texts are drawn
// again at every repaint, and shaping them each time costs more than the rest of the axis.
//
// A text whose drawing is not strictly monochrome (a font that antialiases regardless) is never
// stamped: the caller draws it itself.

#include <QImage>
#include <QPoint>
#include <QString>
#include <string>
#include <unordered_map>
#include <vector>

class QFont;

class TextStamps {
public:
    // Sets the pixels that drawing `text` in `font` with its baseline origin at `origin` would
    // set in `image` (a 32-bit image) to `pixel`; `fontKey` names the font (the same key, the
    // same font). False, with nothing drawn, when the text cannot be stamped.
    bool Draw(QImage& image, const std::string& fontKey, const QFont& font, QPoint origin,
              const QString& text, QRgb pixel);

private:
    struct Run {
        int dy = 0; // row, relative to the origin
        int dx0 = 0;
        int dx1 = 0; // first and last column, relative to the origin
    };
    struct Stamp {
        bool usable = false;
        std::vector<Run> runs;
    };
    static Stamp make(const QFont& font, const QString& text, int dotsPerMeterX, int dotsPerMeterY);

    // Tick labels repeat: a few dozen texts per axis. The map is cleared when it grows beyond
    // this, which only texts that keep changing (a caption typed letter by letter) reach.
    static constexpr std::size_t kMaxStamps = 1024;
    std::unordered_map<std::string, Stamp> m_stamps;
};
