// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Writes an image as a Windows bitmap file: 14-byte file header, 40-byte information header,
// 24 bits per pixel, uncompressed, rows bottom-up and padded to a multiple of 4 bytes. Every
// standard viewer opens it, and it keeps each RGB colour exactly.

#include <QImage>
#include <string>
#include <vector>

// The whole file as bytes (header and pixel rows).
std::vector<unsigned char> EncodeBmp(const QImage& image);

// Writes EncodeBmp(image) as `path`, all or nothing (see OutputFile).
// Throws EFCreateError "Datei "<full path>" kann nicht erstellt werden. <system text>" when the
// file cannot be created (also at once for a FIFO that nobody reads), and EWriteError
// "Stream-Schreibfehler" when writing fails part-way; an existing file of that name is then kept
// as it was.
void WriteBmp(const QImage& image, const std::string& path);
