#pragma once
// Export Graph Image: a graph as the window shows it, drawn afresh without the
// mouse's marks, into a PNG (the screen's pixels) or an SVG (vector lines and
// text), written completely or not at all.
#include <QByteArray>
#include <QColor>
#include <QRect>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

#include "gui/graph/PlotSurface.h"

class QPainter;
class QWidget;

enum class ImageFormat { Png, Svg };

// The format a file name asks for by its extension, in any case; none for
// another extension or none at all.
std::optional<ImageFormat> imageFormatOf(const QString& path);

// What a graph paints its export on: a painter in the widget's coordinates,
// and the surface for its plot inside `rect`.
class GraphCanvas {
public:
    GraphCanvas(QPainter& painter, QImage* pixels) : painter_(painter), pixels_(pixels) {}
    QPainter& painter() const { return painter_; }
    // The rasteriser on the image's pixels for a PNG; vector lines for an SVG.
    std::unique_ptr<PlotSurface> plotSurface(const QRect& rect) const;

private:
    QPainter& painter_;
    QImage* pixels_;
};
using PaintGraph = std::function<void(const GraphCanvas&)>;

// A graph to export: the widget's size, the part the graph occupies, the
// colour under what it paints, and how it paints.
struct GraphPicture {
    QSize widgetSize;
    QRect area;
    QColor background;
    PaintGraph paint;
};

// The file's bytes: a PNG of `area` at its size in pixels, or an SVG whose
// view box is `area`.
QByteArray encodeGraph(const GraphPicture& picture, ImageFormat format);

// Replaces `path` with `bytes` (empty: the picture could not be made)
// through the programs' one file writer. False, with the message for the
// user, naming the path and the reason, in *error; nothing is left behind.
bool writeGraphFile(const QString& path, const QByteArray& bytes, QString* error);

// Writes the picture to `path` in the format its extension names. False, with
// the message for the user in *error, when the name or the write was refused.
bool exportGraphTo(const QString& path, const GraphPicture& picture, QString* error);

// The command: asks for a file name ("PNG image (*.png)", "SVG image
// (*.svg)"), writes the picture and shows what went wrong. True when written.
bool exportGraphInteractive(QWidget* parent, const GraphPicture& picture);
