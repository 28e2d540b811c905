#pragma once
// What an exported graph image holds: its format by its first bytes, and the
// colours it draws in, as pixels of a PNG or as strokes of an SVG.
#include <QByteArray>
#include <QColor>
#include <QFile>
#include <QImage>
#include <QSvgRenderer>

namespace kvtest {

inline QByteArray fileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
inline bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}
inline bool isPng(const QByteArray& b) { return b.startsWith("\x89PNG\r\n\x1a\n"); }
inline bool isSvg(const QByteArray& b) {
    return b.startsWith("<?xml") && b.contains("<svg") && QSvgRenderer(b).isValid();
}
inline int pixelsOf(const QImage& img, QRgb c) {
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) n += (img.pixel(x, y) & 0xFFFFFF) == (c & 0xFFFFFF);
    return n;
}
// More of the colour than a legend's line holds: a trace is drawn in it.
inline bool drawsIn(const QByteArray& b, QRgb c) {
    if (isPng(b)) return pixelsOf(QImage::fromData(b, "PNG"), c) > 300;
    return b.contains(QStringLiteral("stroke=\"%1\"").arg(QColor(c).name()).toLatin1());
}
// None of the colour at all, legend included.
inline bool lacks(const QByteArray& b, QRgb c) {
    if (isPng(b)) return pixelsOf(QImage::fromData(b, "PNG"), c) == 0;
    return !b.contains(QColor(c).name().toLatin1());
}

}  // namespace kvtest
