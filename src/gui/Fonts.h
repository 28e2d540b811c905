#pragma once
// The faces the pictures name ("Arial", "Black Arial", "black Arial",
// "black ROMAN", "SimSun"), each mapped on purpose to a font the program can
// count on: the face itself where the system has it (Windows), else the font
// the program depends on (fonts-liberation), so that text widths come out
// the same on every system instead of whatever a substitution finds. Menus
// and dialogs keep the system's font.
#include <QColor>
#include <QFont>
#include <QPixmap>
#include <QString>

namespace kv {

// `face` as the program draws it: family, and the stretch that gives the
// face's character widths (100 where the font has them already).
struct MappedFace {
    QString family;
    int stretch = 100;
};
MappedFace mapFace(const QString& face);

// A font of `face`, mapped, `pixelSize` pixels high (none: the default size).
QFont faceFont(const QString& face, int pixelSize = 0);

// An SVG of our artwork with the faces its texts name mapped as faceFont()
// maps them (Qt's SVG renderer would take a list of faces for one name).
QByteArray mappedSvg(const QString& path);

// The SVG at `path`, mapped, drawn over `fill` at `size` logical pixels and
// `ratio` device pixels to one, kept in `cache` and drawn again only when the
// ratio changes (the window moved to a screen of another density).
const QPixmap& svgPicture(QPixmap& cache, const QString& path, QSize size, qreal ratio, const QColor& fill);

// The menus and dialogs use the system's font, unless the system's sans-serif
// turns out a fixed-pitch face: fontconfig's answer on a system with only
// fonts-liberation, whose rules never reach Liberation Sans for it. Then it is
// Arial's mapping at the system's size. Called once, before the windows.
void settleSystemFont();

}  // namespace kv
