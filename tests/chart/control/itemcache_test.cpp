// SPDX-License-Identifier: GPL-3.0-or-later
// The items cache must never change a pixel: a chart with the cache and one without it (every
// repaint drawing all items from scratch) go through the same random operations, and after each
// one the shown picture, the chart image and the plot image must be identical.
#include "chart/control/draw/qpaintercanvas.h"
#include "chart/control/surface/itemrenderer.h"
#include "charttestsupport.h"

#include <QImage>
#include <functional>
#include <gtest/gtest.h>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Pair {
    std::unique_ptr<TPlotChart> cached = makeFormChart();
    std::unique_ptr<TPlotChart> plain = makeFormChart();
    Pair() { plain->SetItemCacheEnabled(false); }

    void apply(const std::function<void(TPlotChart&)>& op) {
        op(*cached);
        op(*plain);
    }
};

// Empty when equal, else where the pictures first differ.
std::string difference(const QImage& a, const QImage& b) {
    if (a == b) {
        return {};
    }
    if (a.size() != b.size()) {
        std::ostringstream out;
        out << "sizes " << a.width() << "x" << a.height() << " and " << b.width() << "x"
            << b.height();
        return out.str();
    }
    for (int y = 0; y < a.height(); ++y) {
        const QRgb* la = reinterpret_cast<const QRgb*>(a.constScanLine(y));
        const QRgb* lb = reinterpret_cast<const QRgb*>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x) {
            if ((la[x] & 0xFFFFFF) != (lb[x] & 0xFFFFFF)) {
                std::ostringstream out;
                out << "pixel (" << x << ", " << y << "): " << std::hex << (la[x] & 0xFFFFFF)
                    << " cached, " << (lb[x] & 0xFFFFFF) << " from scratch";
                return out.str();
            }
        }
    }
    return {};
}

void expectSamePictures(const Pair& p, const std::string& where) {
    const std::string shown = difference(p.cached->ShownImage(), p.plain->ShownImage());
    const std::string chart = difference(p.cached->ChartImage(), p.plain->ChartImage());
    const std::string plot = difference(p.cached->PlotImage(), p.plain->PlotImage());
    ASSERT_TRUE(shown.empty() && chart.empty() && plot.empty())
        << where << "\n shown: " << shown << "\n chart: " << chart << "\n plot: " << plot;
}

const TColor kColours[] = {clBlue, clMaroon, clRed, clGreen, clBlack};

// Appends count items of random kinds on layer 1 or 2, as the pipeline does: a colour per
// channel, the channels alternating, now and then a pen style or width change.
void appendItems(TPlotChart& chart, std::mt19937& rng, int count, bool varyWidth = true) {
    std::uniform_real_distribution<double> x(-50, 1050);
    std::uniform_real_distribution<double> y(-1, 11);
    std::uniform_int_distribution<int> pick(0, 99);
    const int active = chart.ActiveLayer();
    for (int i = 0; i < count; ++i) {
        const int layer = 1 + pick(rng) % 2;
        chart.SetActiveLayer(layer);
        chart.SetDataColor(kColours[layer == 1 ? 0 : 1]);
        const int r = pick(rng);
        if (r < 3) {
            chart.SetDataColor(kColours[pick(rng) % 5]);
        } else if (r < 5) {
            chart.SetPenStyle(static_cast<TPenStyle>(pick(rng) % 5));
        } else if (r == 5 && varyWidth) { // wide pens are slow to draw: rarely
            chart.SetLineWidth(pick(rng) < 10 ? 2 : pick(rng) % 2);
        }
        const int kind = pick(rng);
        if (kind < 8) {
            chart.AddMoveTo(x(rng), y(rng));
        } else if (kind < 70) {
            // Long runs along x, so that polylines cross the 200-point and pass boundaries.
            const double px = std::fmod(chart.ItemCount() * 0.7, 1000.0);
            chart.AddDrawTo(px, y(rng));
        } else {
            const double x1 = x(rng);
            const double y1 = y(rng);
            // Short lines, some on a single pixel.
            chart.AddLine(x1, y1, x1 + (pick(rng) % 3) * 0.5, y1 + (pick(rng) % 3) * 0.01);
        }
    }
    chart.SetActiveLayer(active);
}

struct Step {
    const char* name;
    int weight;
    std::function<void(Pair&, std::mt19937&)> run;
};

// Every operation is applied to both charts with the same random draws.
std::vector<Step> steps() {
    auto both = [](Pair& p, std::mt19937& rng, auto op) {
        std::mt19937 copy = rng;
        op(*p.cached, rng);
        op(*p.plain, copy);
    };
    return {
        {"append", 30,
         [both](Pair& p, std::mt19937& rng) {
             const int n = 1 + static_cast<int>(rng() % 400);
             both(p, rng, [n](TPlotChart& c, std::mt19937& r) { appendItems(c, r, n); });
         }},
        {"repaint", 25,
         [](Pair& p, std::mt19937&) {
             p.apply([](TPlotChart& c) {
                 c.SuspendPaint(true);
                 c.SuspendPaint(false);
                 c.RedrawItems();
             });
         }},
        {"samples and repaint", 8,
         // The pipeline's pace: a few items, then a repaint that shows only what they changed.
         [both](Pair& p, std::mt19937& rng) {
             const int n = 1 + static_cast<int>(rng() % 5);
             both(p, rng, [n](TPlotChart& c, std::mt19937& r) { appendItems(c, r, n, false); });
             p.apply([](TPlotChart& c) {
                 c.SuspendPaint(true);
                 c.SuspendPaint(false);
                 c.RedrawItems();
             });
         }},
        {"followed repaints", 6,
         // The pipeline framing a block: lines, each suspending painting, and repaints of which
         // all but the last are promised to be followed, so the cached chart may leave them
         // undrawn; the reference draws every one. Now and then something looks during a
         // repaint's pump, or the promise is withdrawn only after the last repaint (a Stop in
         // the pump ends the block).
         [both](Pair& p, std::mt19937& rng) {
             const int repaints = 1 + static_cast<int>(rng() % 6);
             const bool lateWithdrawal = rng() % 4 == 0;
             p.cached->SetRepaintFollows(true);
             for (int r = 0; r < repaints; ++r) {
                 const int lines = 1 + static_cast<int>(rng() % 4);
                 for (int l = 0; l < lines; ++l) {
                     p.apply([](TPlotChart& c) { c.SuspendPaint(true); });
                     const bool scroll = rng() % 3 == 0;
                     both(p, rng, [scroll](TPlotChart& c, std::mt19937& r) {
                         appendItems(c, r, 1 + static_cast<int>(r() % 2), false);
                         if (scroll) {
                             c.DeleteFirstItem();
                             c.SetLayerRange(1, c.Scale1X().RangeLow() + 1, c.Scale1Y().RangeLow(),
                                             c.Scale1X().RangeHigh() + 1, c.Scale1Y().RangeHigh());
                         }
                     });
                 }
                 const bool last = r + 1 == repaints;
                 if (last && !lateWithdrawal) {
                     p.cached->SetRepaintFollows(false);
                 }
                 p.apply([](TPlotChart& c) {
                     c.SuspendPaint(false);
                     c.RedrawItems();
                 });
                 if (!last && rng() % 5 == 0) {
                     expectSamePictures(p, "looked at during a followed repaint");
                 }
             }
             p.cached->SetRepaintFollows(false);
         }},
        {"on demand", 3,
         // A chart nobody watches owes every repaint until something looks (the comparison
         // after each step looks).
         [](Pair& p, std::mt19937& rng) { p.cached->SetDrawOnDemand(rng() % 2 == 0); }},
        {"Paint", 8, [](Pair& p, std::mt19937&) { p.apply([](TPlotChart& c) { c.Paint(); }); }},
        {"RedrawItems", 8,
         [](Pair& p, std::mt19937&) { p.apply([](TPlotChart& c) { c.RedrawItems(); }); }},
        {"Redraw", 5, [](Pair& p, std::mt19937&) { p.apply([](TPlotChart& c) { c.Redraw(); }); }},
        {"range", 4,
         [](Pair& p, std::mt19937& rng) {
             const int layer = 1 + static_cast<int>(rng() % 2);
             const double lo = static_cast<double>(rng() % 200);
             const double hi = lo + 500 + static_cast<double>(rng() % 600);
             p.apply([&](TPlotChart& c) { c.SetLayerRange(layer, lo, 0, hi, 10); });
         }},
        {"trend scroll", 6,
         [](Pair& p, std::mt19937& rng) {
             const int n = 1 + static_cast<int>(rng() % 30);
             p.apply([n](TPlotChart& c) {
                 for (int i = 0; i < n; ++i) {
                     c.DeleteFirstItem();
                     c.SetLayerRange(1, c.Scale1X().RangeLow() + 1, c.Scale1Y().RangeLow(),
                                     c.Scale1X().RangeHigh() + 1, c.Scale1Y().RangeHigh());
                 }
             });
         }},
        {"axes", 3,
         // Axis settings that redraw only some axes of the chart image: the second Y axis
         // (inside the left margin, next to the first), tick density, a caption.
         [](Pair& p, std::mt19937& rng) {
             const int pick = static_cast<int>(rng() % 3);
             const int value = static_cast<int>(rng() % 4);
             p.apply([pick, value](TPlotChart& c) {
                 if (pick == 0) {
                     c.Scale2Y().SetVisible(!c.Scale2Y().Visible());
                 } else if (pick == 1) {
                     c.Scale1Y().SetMinTicks(3 + 3 * value);
                 } else {
                     c.Scale1X().SetCaption(value % 2 ? "Anzahl Samples" : "t / ms");
                 }
             });
         }},
        {"delete last", 2,
         [](Pair& p, std::mt19937&) {
             p.apply([](TPlotChart& c) { c.DeleteItem(c.ItemCount() - 1); });
         }},
        {"clear", 2,
         [](Pair& p, std::mt19937&) { p.apply([](TPlotChart& c) { c.ClearItems(); }); }},
        {"grid", 4,
         [](Pair& p, std::mt19937& rng) {
             const GridStyleType styles[] = {gsNone, gsLines, gsDotLines, gsPoints};
             const GridStyleType style = styles[rng() % 4];
             p.apply([style](TPlotChart& c) { c.SetGridStyle(style); });
         }},
        {"active layer", 2,
         [](Pair& p, std::mt19937& rng) {
             const int layer = 1 + static_cast<int>(rng() % 2);
             p.apply([layer](TPlotChart& c) { c.SetActiveLayer(layer); });
         }},
        {"resize", 2,
         [](Pair& p, std::mt19937& rng) {
             const int w = 450 + static_cast<int>(rng() % 200);
             const int h = 300 + static_cast<int>(rng() % 120);
             p.apply([w, h](TPlotChart& c) { c.resize(w, h); });
         }},
        {"colour", 1,
         [](Pair& p, std::mt19937& rng) {
             const TColor colour = rng() % 2 ? clWhite : clYellow;
             p.apply([colour](TPlotChart& c) { c.SetChartColor(colour); });
         }},
    };
}

} // namespace

TEST(ItemCache, RandomOperationsGiveThePicturesOfDrawingFromScratch) {
    const std::vector<Step> table = steps();
    int total = 0;
    for (const Step& s : table) {
        total += s.weight;
    }
    std::uint64_t continued = 0;
    for (unsigned seed = 1; seed <= 5; ++seed) {
        Pair p;
        const std::uint64_t plainPasses =
            p.plain->ItemCacheContinued() + p.plain->ItemCacheStarted();
        std::mt19937 rng(seed);
        std::vector<const char*> log;
        for (int i = 0; i < 300; ++i) {
            int r = static_cast<int>(rng() % static_cast<unsigned>(total));
            const Step* step = &table.front();
            for (const Step& s : table) {
                if (r < s.weight) {
                    step = &s;
                    break;
                }
                r -= s.weight;
            }
            step->run(p, rng);
            if (p.cached->ItemCount() > 3000) {
                p.apply([](TPlotChart& c) { c.ClearItems(); });
            }
            log.push_back(step->name);
            std::string where = "seed " + std::to_string(seed) + ", step " + std::to_string(i) +
                                " (" + step->name + "); earlier:";
            for (std::size_t k = log.size() > 6 ? log.size() - 6 : 0; k + 1 < log.size(); ++k) {
                where += std::string(" ") + log[k];
            }
            expectSamePictures(p, where);
        }
        continued += p.cached->ItemCacheContinued();
        EXPECT_EQ(p.plain->ItemCacheContinued() + p.plain->ItemCacheStarted(), plainPasses);
    }
    // The comparison means something only if passes were really continued.
    EXPECT_GT(continued, 300u);
}

// The pipeline's repaint after each batch of samples continues one pass; whatever the drawing
// reads starts a new one, and the pictures still match.
TEST(ItemCache, AppendsContinueThePassAndEveryInputOfTheDrawingStartsANewOne) {
    struct Change {
        const char* name;
        std::function<void(TPlotChart&)> change;
    };
    const std::vector<Change> changes = {
        {"range", [](TPlotChart& c) { c.SetLayerRange(1, 0, 0, 900, 10); }},
        {"other layer's range", [](TPlotChart& c) { c.SetLayerRange(2, 0, 0, 900, 10); }},
        {"logarithmic",
         [](TPlotChart& c) {
             c.SetLayerRange(1, 0, 1, 1000, 10);
             c.Scale1Y().SetLogarithmic(true);
         }},
        {"grid style", [](TPlotChart& c) { c.SetGridStyle(gsDotLines); }},
        {"grid colour", [](TPlotChart& c) { c.SetGridColor(clRed); }},
        {"grid spacing", [](TPlotChart& c) { c.SetGridDx(70); }},
        {"minimum ticks", [](TPlotChart& c) { c.Scale1X().SetMinTicks(7); }},
        {"active layer", [](TPlotChart& c) { c.SetActiveLayer(2); }},
        {"chart colour", [](TPlotChart& c) { c.SetChartColor(clYellow); }},
        {"frame colour", [](TPlotChart& c) { c.SetChartFrameColor(clRed); }},
        {"line width", [](TPlotChart& c) { c.SetLineWidth(3); }},
        {"margin", [](TPlotChart& c) { c.SetMarginLeft(120); }},
        {"size", [](TPlotChart& c) { c.resize(500, 330); }},
        {"first item deleted", [](TPlotChart& c) { c.DeleteFirstItem(); }},
        {"cleared", [](TPlotChart& c) { c.ClearItems(); }},
    };
    for (const Change& change : changes) {
        SCOPED_TRACE(change.name);
        Pair p;
        std::mt19937 rng(7);
        auto batch = [&] {
            std::mt19937 copy = rng;
            appendItems(*p.cached, rng, 250, false);
            appendItems(*p.plain, copy, 250, false);
            p.apply([](TPlotChart& c) {
                c.SuspendPaint(true);
                c.SuspendPaint(false);
                c.RedrawItems();
            });
            expectSamePictures(p, "after a batch");
        };
        batch();
        const std::uint64_t started = p.cached->ItemCacheStarted();
        const std::uint64_t continued = p.cached->ItemCacheContinued();
        for (int i = 0; i < 3; ++i) {
            batch();
        }
        EXPECT_EQ(p.cached->ItemCacheStarted(), started);
        EXPECT_EQ(p.cached->ItemCacheContinued(), continued + 3);
        // Some changes repaint at once (a range update lifts the paint gate); a new pass either
        // way, and the next batch continues it.
        p.apply(change.change);
        batch();
        EXPECT_GT(p.cached->ItemCacheStarted(), started);
        const std::uint64_t after = p.cached->ItemCacheContinued();
        batch();
        EXPECT_EQ(p.cached->ItemCacheContinued(), after + 1);
    }
}

// RedrawItems over a plot image that already is the current render changes nothing, also with
// the grid; over any other image it draws as before (here: items appended since the render).
TEST(ItemCache, RedrawItemsOverTheCurrentRenderAndOverAnOlderImage) {
    Pair p;
    std::mt19937 rng(11);
    std::mt19937 copy = rng;
    appendItems(*p.cached, rng, 700);
    appendItems(*p.plain, copy, 700);
    p.apply([](TPlotChart& c) {
        c.Paint();
        c.RedrawItems();
        c.RedrawItems();
    });
    expectSamePictures(p, "redraw over the render");
    copy = rng;
    appendItems(*p.cached, rng, 300);
    appendItems(*p.plain, copy, 300);
    p.apply([](TPlotChart& c) { c.RedrawItems(); });
    expectSamePictures(p, "redraw after appends");
    p.apply([](TPlotChart& c) {
        c.ClearItems();
        c.RedrawItems();
    });
    expectSamePictures(p, "redraw after clearing");
}

// Every fresh render starts from the blank plot image, which the uncached chart shares: it must be
// the painter's filled rectangle with its one-pixel outline, palette colours included.
TEST(ItemCache, BlankPlotImageIsThePaintersOutlinedRectangle) {
    for (const QSize size : {QSize(kChartWidth, kChartHeight), QSize(40, 30)}) {
        auto chart = makeFormChart(size.width(), size.height());
        for (const auto& [fill, frame] : {std::pair{clWhite, clBlack}, std::pair{clBtnFace, clRed},
                                          std::pair{TColor{0x123456}, clWindow}}) {
            chart->SetChartColor(fill);
            chart->SetChartFrameColor(frame);
            QImage blank;
            ItemRenderer::BlankPlotImage(*chart, chart->palette(), blank);
            ASSERT_FALSE(blank.isNull());
            QImage painted(blank.size(), QImage::Format_RGB32);
            painted.fill(Qt::magenta);
            {
                QPainterCanvas canvas(painted, chart->palette());
                canvas.SetPen(CanvasPen{frame, 1, psSolid});
                canvas.SetBrush(CanvasBrush{fill, false});
                canvas.Rectangle(0, 0, painted.width(), painted.height());
            }
            EXPECT_EQ(difference(blank, painted), "") << fill << " in " << frame;
            // On a scaled screen a fresh render goes straight into the chart image over whatever
            // lay there: the blank must write every pixel of the plot's place.
            for (const double ratio : {1.5, 2.0}) {
                QImage scaled(ItemRenderer::PlotImageSize(*chart, ratio), QImage::Format_RGB32);
                scaled.fill(Qt::magenta);
                ItemRenderer::BlankPlotImage(*chart, chart->palette(), scaled, ratio);
                ASSERT_EQ(scaled.size(), ItemRenderer::PlotImageSize(*chart, ratio));
                EXPECT_FALSE(scaled.pixelColor(0, 0) == QColor(Qt::magenta));
                for (int y = 0; y < scaled.height(); ++y) {
                    for (int x = 0; x < scaled.width(); ++x) {
                        ASSERT_NE(scaled.pixel(x, y) & 0xFFFFFF, 0xFF00FFu)
                            << ratio << ": (" << x << ", " << y << ")";
                    }
                }
            }
        }
    }
}
