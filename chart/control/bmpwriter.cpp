// SPDX-License-Identifier: GPL-3.0-or-later
#include "chart/control/bmpwriter.h"

#include "base/exception.h"
#include "base/outputfile.h"

#include <cstdint>

namespace {

constexpr int kFileHeaderSize = 14;
constexpr int kInfoHeaderSize = 40;
constexpr std::int32_t kPixelsPerMetre = 3780; // 96 dots per inch

void put16(unsigned char* p, std::uint16_t v) {
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
}

void put32(unsigned char* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        p[i] = static_cast<unsigned char>(v >> (8 * i));
    }
}

} // namespace

std::vector<unsigned char> EncodeBmp(const QImage& source) {
    const QImage image =
        source.format() == QImage::Format_RGB32 || source.format() == QImage::Format_ARGB32
            ? source
            : source.convertToFormat(QImage::Format_RGB32);
    const std::uint32_t width = static_cast<std::uint32_t>(image.width());
    const std::uint32_t height = static_cast<std::uint32_t>(image.height());
    const std::uint32_t rowBytes = (width * 3 + 3) & ~3u;
    const std::uint32_t pixelBytes = rowBytes * height;
    const std::uint32_t offset = kFileHeaderSize + kInfoHeaderSize;

    std::vector<unsigned char> out(offset + pixelBytes, 0);
    unsigned char* h = out.data();
    h[0] = 'B';
    h[1] = 'M';
    put32(h + 2, offset + pixelBytes);
    put32(h + 10, offset);
    unsigned char* info = h + kFileHeaderSize;
    put32(info + 0, kInfoHeaderSize);
    put32(info + 4, width);
    put32(info + 8, height); // positive: rows run bottom-up
    put16(info + 12, 1);     // planes
    put16(info + 14, 24);    // bits per pixel
    put32(info + 16, 0);     // no compression
    put32(info + 20, pixelBytes);
    put32(info + 24, kPixelsPerMetre);
    put32(info + 28, kPixelsPerMetre);

    unsigned char* row = h + offset;
    for (std::uint32_t y = height; y-- > 0; row += rowBytes) {
        const QRgb* line = reinterpret_cast<const QRgb*>(image.constScanLine(static_cast<int>(y)));
        unsigned char* p = row;
        for (std::uint32_t x = 0; x < width; ++x) {
            const QRgb c = line[x];
            *p++ = static_cast<unsigned char>(qBlue(c));
            *p++ = static_cast<unsigned char>(qGreen(c));
            *p++ = static_cast<unsigned char>(qRed(c));
        }
    }
    return out;
}

void WriteBmp(const QImage& image, const std::string& path) {
    const std::vector<unsigned char> bytes = EncodeBmp(image);
    OutputFile file(path);
    if (file.write(bytes.data(), bytes.size()) != 0 || file.commit() != 0) {
        throw EWriteError("Stream-Schreibfehler");
    }
}
