#pragma once
// Draws the logger viewer's graph from what the navigation and geometry
// computed: one full paint into an off-screen image, and the pieces the mouse
// draws straight onto it between paints (cursor line, rubber band, read-out).
#include <QFont>
#include <QImage>

#include <cstdint>

class PlotSurface;
class QPainter;

#include "core/logger/LoggerNav.h"

namespace kv::logger {

inline constexpr uint32_t kBackground = 0xFFD9DAD4u;   // 217, 218, 212
inline constexpr uint32_t kTraceColour[kQuantities] = {
    0xFFFF0000u,   // AIR
    0xFFFFFF00u,   // WB
    0xFF00FFFFu,   // DP
    0xFFC864C8u,   // K/IR
    0xFF00FF00u,   // RH
};
inline constexpr uint32_t kCursorColour = 0xFF963232u;   // 150, 50, 50

class LoggerPainter {
public:
    LoggerPainter();

    // The whole graph of one paint into `img` (the client area).
    void paint(QImage& img, const Frame& f, const CoordTables& t, const Nav& nav) const;

    // Whether a picture carries the marks of the mouse: the screen's has the
    // read-out row, an exported image has none.
    enum class Marks { Shown, Left };
    // The graph of frame `f` for a client area of size `client`: the texts
    // with `qp`, the plot's lines through `s` (both in client coordinates).
    // The screen and an exported image both draw with it.
    void draw(QPainter& qp, PlotSurface& s, const QSize& client, const Frame& f, const CoordTables& t,
              const Nav& nav, Marks marks) const;

    // The dotted cursor line, mixed so that drawing it twice removes it.
    static void cursorLine(QImage& img, const PlotRect& p, int x);
    // The rubber band; drawing it twice removes it.
    static void band(QImage& img, const IRect& r);
    // The read-out row of the shown quantities (value with unit, "@", time).
    void readout(QImage& img, const PlotRect& p, const std::array<std::string, kQuantities>& values,
                 const std::string& time, const std::array<bool, kQuantities>& shown) const;

    const QFont& fontA() const { return fontA_; }
    const QFont& fontB() const { return fontB_; }

private:
    void drawReadout(QPainter& qp, const PlotRect& p, const std::array<std::string, kQuantities>& values,
                     const std::string& time, const std::array<bool, kQuantities>& shown) const;
    QFont fontA_, fontB_;
};

}  // namespace kv::logger
