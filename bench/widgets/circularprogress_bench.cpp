// SPDX-License-Identifier: GPL-3.0-or-later
// Prints what one tick of the busy indicator costs: painting the ring and, for comparison,
// rebuilding its outlines (done only on a size change). The ring ticks every 50 ms on the main
// window, so a picture must stay far below that to leave the main thread to the samples.

#include "widgets/circularprogress.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace {

template <typename F> double microsecondsPerCall(int calls, F&& f) {
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < calls; ++i) {
        f();
    }
    const std::chrono::duration<double, std::micro> spent =
        std::chrono::steady_clock::now() - start;
    return spent.count() / calls;
}

} // namespace

int main(int argc, char** argv) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    QApplication app(argc, argv);
    std::printf("%-8s %14s %16s %14s\n", "size", "paint [us]", "geometry [us]", "tick share");
    for (const int side : {30, 60, 200}) {
        TCircularProgress ring;
        ring.resize(side, side); // enabled; without an event loop only TimerTick moves it
        QImage target(side, side, QImage::Format_ARGB32_Premultiplied);
        const double paint = microsecondsPerCall(2000, [&] {
            ring.TimerTick();
            ring.render(&target);
        });
        const double geometry = microsecondsPerCall(2000, [&] {
            const auto g = circularprogress::BuildGeometry(side, side, false);
            (void)g;
        });
        std::printf("%-8d %14.1f %16.1f %13.3f%%\n", side, paint, geometry,
                    100.0 * paint / 50000.0);
    }
    return 0;
}
