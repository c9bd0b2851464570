// SPDX-License-Identifier: GPL-3.0-or-later
#include "chart/control/draw/linerasterizer.h"

#include "linereference.h"

#include <gtest/gtest.h>
#include <random>
#include <set>
#include <utility>
#include <vector>

namespace {

constexpr std::uint32_t kBlank = 0xFFFFFFFF;
constexpr std::uint32_t kInk = 0xFF0000FF;
constexpr std::uint32_t kGuard = 0x12345678;

// A width × height target inside a buffer with guard columns to the right and guard rows above
// and below, so that a write outside the image shows up.
class Target {
public:
    Target(int width, int height)
        : m_width(width), m_height(height), m_stride(width + 3),
          m_buffer(static_cast<std::size_t>(m_stride * (height + 2)), kGuard) {
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                at(x, y) = kBlank;
            }
        }
    }
    LineRasterizer Rasterizer() {
        return LineRasterizer(m_buffer.data() + m_stride, m_width, m_height, m_stride);
    }
    std::uint32_t& at(int x, int y) {
        return m_buffer[static_cast<std::size_t>((y + 1) * m_stride + x)];
    }
    // The inked pixels; fails the test when a guard was overwritten or a pixel has another value.
    std::set<std::pair<int, int>> Inked() {
        std::set<std::pair<int, int>> out;
        for (int y = -1; y <= m_height; ++y) {
            for (int x = 0; x < m_stride; ++x) {
                const std::uint32_t v = at(x, y);
                const bool inImage = y >= 0 && y < m_height && x < m_width;
                if (!inImage) {
                    EXPECT_EQ(v, kGuard) << "guard written at " << x << "," << y;
                } else if (v == kInk) {
                    out.insert({x, y});
                } else {
                    EXPECT_EQ(v, kBlank) << "stray value at " << x << "," << y;
                }
            }
        }
        return out;
    }

private:
    int m_width;
    int m_height;
    std::ptrdiff_t m_stride;
    std::vector<std::uint32_t> m_buffer;
};

std::set<std::pair<int, int>> referenceInked(QPoint from, QPoint to, int width, int height) {
    std::set<std::pair<int, int>> out;
    for (QPoint p : referenceLinePixels(from, to)) {
        if (p.x() >= 0 && p.y() >= 0 && p.x() < width && p.y() < height) {
            out.insert({p.x(), p.y()});
        }
    }
    return out;
}

struct LineCase {
    const char* name;
    QPoint from;
    QPoint to;
    std::vector<std::pair<int, int>> pixels;
};

} // namespace

// The rule spelled out pixel by pixel in every direction: start set, end excluded, exact halves
// rounded towards the start.
TEST(LineRasterizerRule, PixelsOfEachDirection) {
    const std::vector<LineCase> cases = {
        {"right", {2, 3}, {6, 3}, {{2, 3}, {3, 3}, {4, 3}, {5, 3}}},
        {"left", {6, 3}, {2, 3}, {{6, 3}, {5, 3}, {4, 3}, {3, 3}}},
        {"down", {1, 1}, {1, 4}, {{1, 1}, {1, 2}, {1, 3}}},
        {"up", {1, 4}, {1, 1}, {{1, 4}, {1, 3}, {1, 2}}},
        {"diagonal down right", {0, 0}, {3, 3}, {{0, 0}, {1, 1}, {2, 2}}},
        {"diagonal up left", {3, 3}, {0, 0}, {{3, 3}, {2, 2}, {1, 1}}},
        {"diagonal down left", {3, 0}, {0, 3}, {{3, 0}, {2, 1}, {1, 2}}},
        {"diagonal up right", {0, 3}, {3, 0}, {{0, 3}, {1, 2}, {2, 1}}},
        {"shallow, tie towards start", {0, 0}, {4, 2}, {{0, 0}, {1, 0}, {2, 1}, {3, 1}}},
        {"shallow reversed", {4, 2}, {0, 0}, {{4, 2}, {3, 2}, {2, 1}, {1, 1}}},
        {"steep", {0, 0}, {2, 4}, {{0, 0}, {0, 1}, {1, 2}, {1, 3}}},
        {"steep reversed", {2, 4}, {0, 0}, {{2, 4}, {2, 3}, {1, 2}, {1, 1}}},
        {"shallow up left", {6, 5}, {1, 3}, {{6, 5}, {5, 5}, {4, 4}, {3, 4}, {2, 3}}},
        {"steep up right", {1, 6}, {3, 1}, {{1, 6}, {1, 5}, {2, 4}, {2, 3}, {3, 2}}},
        {"one pixel long", {3, 3}, {4, 3}, {{3, 3}}},
        {"one pixel long, diagonal", {3, 3}, {2, 4}, {{3, 3}}},
        {"zero length", {3, 3}, {3, 3}, {}},
    };
    for (const LineCase& c : cases) {
        Target target(8, 8);
        target.Rasterizer().Line(c.from, c.to, kInk);
        const std::set<std::pair<int, int>> expected(c.pixels.begin(), c.pixels.end());
        EXPECT_EQ(target.Inked(), expected) << c.name;
        EXPECT_EQ(expected, referenceInked(c.from, c.to, 8, 8)) << c.name;
    }
}

// Random lines in all octants, inside, partly outside and far outside up to the clamp limit:
// the pixels are those of the naive walk restricted to the image, and nothing outside is touched.
TEST(LineRasterizerRule, ClippedLinesEqualTheNaiveWalkCropped) {
    std::mt19937 rng(2024);
    const int width = 37;
    const int height = 23;
    auto coordinate = [&](int round, int limit) {
        switch (round % 4) {
        case 0: // inside
            return static_cast<int>(rng() % static_cast<unsigned>(limit));
        case 1: // near the edges
            return static_cast<int>(rng() % static_cast<unsigned>(limit + 20)) - 10;
        case 2: // far out, up to the clamp limit
            return static_cast<int>(rng() % 60001) - 30000;
        default: // a few hundred pixels around
            return static_cast<int>(rng() % 1001) - 500;
        }
    };
    for (int round = 0; round < 4000; ++round) {
        const QPoint from(coordinate(round, width), coordinate(round, height));
        const QPoint to(coordinate(round / 4, width), coordinate(round / 4 + 1, height));
        Target target(width, height);
        target.Rasterizer().Line(from, to, kInk);
        ASSERT_EQ(target.Inked(), referenceInked(from, to, width, height))
            << "round " << round << " from " << from.x() << "," << from.y() << " to " << to.x()
            << "," << to.y();
    }
}

TEST(LineRasterizerRule, ExtremeEndpointsAcrossTheImage) {
    const int width = 485;
    const int height = 286;
    const std::vector<std::pair<QPoint, QPoint>> lines = {
        {{-30000, -30000}, {30000, 30000}},
        {{30000, 30000}, {-30000, -30000}},
        {{-30000, 30000}, {30000, -30000}},
        {{-30000, 100}, {30000, 200}},
        {{200, -30000}, {100, 30000}},
        {{-30000, 143}, {30000, 143}},
        {{242, 30000}, {242, -30000}},
        {{0, 0}, {30000, 30000}},
        {{30000, 17}, {0, 0}},
        {{-30000, -29999}, {30000, 30000}},
        {{-29999, 30000}, {30000, -29993}},
        {{484, 285}, {-30000, 30000}},
        {{-30000, -30000}, {-29000, 30000}},
        {{30000, 30000}, {30000, -30000}},
    };
    for (const auto& [from, to] : lines) {
        Target target(width, height);
        target.Rasterizer().Line(from, to, kInk);
        EXPECT_EQ(target.Inked(), referenceInked(from, to, width, height))
            << from.x() << "," << from.y() << " -> " << to.x() << "," << to.y();
    }
}

TEST(LineRasterizerRule, PolylineIsConsecutiveLinesWithoutItsLastPoint) {
    std::mt19937 rng(99);
    for (int round = 0; round < 200; ++round) {
        std::vector<QPoint> points;
        const int count = 1 + static_cast<int>(rng() % 12);
        for (int i = 0; i < count; ++i) {
            points.emplace_back(static_cast<int>(rng() % 40) - 5, static_cast<int>(rng() % 30) - 5);
            if (rng() % 3 == 0) {
                points.push_back(points.back()); // repeated points draw nothing
            }
        }
        Target polyline(30, 20);
        polyline.Rasterizer().Polyline(points.data(), static_cast<int>(points.size()), kInk);
        Target lines(30, 20);
        LineRasterizer r = lines.Rasterizer();
        for (std::size_t i = 1; i < points.size(); ++i) {
            r.Line(points[i - 1], points[i], kInk);
        }
        ASSERT_EQ(polyline.Inked(), lines.Inked()) << "round " << round;
    }
    // A closed square: every outline pixel once, the closing point drawn as the first one.
    Target square(10, 10);
    const QPoint outline[5] = {{1, 1}, {5, 1}, {5, 5}, {1, 5}, {1, 1}};
    square.Rasterizer().Polyline(outline, 5, kInk);
    EXPECT_EQ(square.Inked().size(), 16u);
    // An open one leaves its last point out.
    Target open(10, 10);
    const QPoint path[3] = {{1, 1}, {5, 1}, {5, 5}};
    open.Rasterizer().Polyline(path, 3, kInk);
    EXPECT_EQ(open.Inked().count({5, 5}), 0u);
    EXPECT_EQ(open.Inked().size(), 8u);
}
