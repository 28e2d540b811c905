#include "gui/Fonts.h"

#include <QApplication>
#include <QFile>
#include <QFontDatabase>
#include <QFontInfo>
#include <QPainter>
#include <QRegularExpression>
#include <QStringList>
#include <QSvgRenderer>

namespace kv {

namespace {

struct Choice {
    const char* family;
    int stretch;
};

// The faces the pictures name and what stands in for each, best first. Arial
// and the names with no face behind them (a system finds its Arial for them)
// go to Liberation Sans, which has Arial's metrics. SimSun sets Latin text at
// half an em a character; Liberation Mono has one advance for every character
// too, at 0.6 em, so it is narrowed to SimSun's.
struct Mapping {
    const char* face;
    Choice choices[2];
};
constexpr Mapping kMappings[] = {
    {"Arial", {{"Arial", 100}, {"Liberation Sans", 100}}},
    {"Black Arial", {{"Arial", 100}, {"Liberation Sans", 100}}},
    {"black ROMAN", {{"Arial", 100}, {"Liberation Sans", 100}}},
    {"SimSun", {{"SimSun", 100}, {"Liberation Mono", 83}}},
};

bool installed(const QString& family) {
    static const QStringList families = QFontDatabase::families();
    return families.contains(family, Qt::CaseInsensitive);
}

}  // namespace

MappedFace mapFace(const QString& face) {
    for (const Mapping& m : kMappings) {
        if (face.compare(QLatin1String(m.face), Qt::CaseInsensitive) != 0) continue;
        for (const Choice& c : m.choices)
            if (installed(QLatin1String(c.family))) return {QLatin1String(c.family), c.stretch};
        // Neither: the font the program depends on, found by the system's
        // substitution if under another name.
        return {QLatin1String(m.choices[1].family), m.choices[1].stretch};
    }
    return {face, 100};
}

QFont faceFont(const QString& face, int pixelSize) {
    const MappedFace m = mapFace(face);
    QFont f(m.family);
    f.setStyleHint(m.family.contains(QLatin1String("Mono")) ? QFont::TypeWriter : QFont::SansSerif);
    if (m.stretch != 100) f.setStretch(m.stretch);
    if (pixelSize > 0) f.setPixelSize(pixelSize);
    return f;
}

QByteArray mappedSvg(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    QString svg = QString::fromUtf8(f.readAll());
    static const QRegularExpression family(QStringLiteral("font-family=\"([^\"]*)\""));
    QString out;
    qsizetype from = 0;
    for (const QRegularExpressionMatch& m : family.globalMatch(svg)) {
        out += QStringView(svg).mid(from, m.capturedStart() - from);
        out += QStringLiteral("font-family=\"%1\"").arg(mapFace(m.captured(1)).family);
        from = m.capturedEnd();
    }
    out += QStringView(svg).mid(from);
    return out.toUtf8();
}

const QPixmap& svgPicture(QPixmap& cache, const QString& path, QSize size, qreal ratio, const QColor& fill) {
    if (cache.isNull() || cache.devicePixelRatio() != ratio) {
        cache = QPixmap(size * ratio);
        cache.setDevicePixelRatio(ratio);
        cache.fill(fill);
        QSvgRenderer svg(mappedSvg(path));
        QPainter p(&cache);
        svg.render(&p, QRectF(QPointF(0, 0), QSizeF(size)));
    }
    return cache;
}

void settleSystemFont() {
    QFont f = QApplication::font();
    if (!QFontInfo(f).fixedPitch() || f.styleHint() == QFont::TypeWriter || f.styleHint() == QFont::Monospace) return;
    f.setFamilies({mapFace(QStringLiteral("Arial")).family});
    QApplication::setFont(f);
}

}  // namespace kv
