// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Row copies between 32-bit images: an opaque image drawn at whole pixels is a copy of its rows,
// and a memcpy per row costs far less than a painter.

#include <QImage>
#include <QPoint>
#include <QRect>

// Copies the `part` of `from` into `to` with its top-left corner at `at`. Both images are 32-bit
// and hold their rectangle whole; nothing for an empty part.
void CopyPixels(QImage& to, QPoint at, const QImage& from, const QRect& part);

// Copies the pixels of `area` from `from` into `to` (same size, 32-bit) except those in `skip`.
void CopyOutside(const QImage& from, QImage& to, const QRect& area, const QRect& skip);
