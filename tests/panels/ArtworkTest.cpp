// Our artwork loads from the resources at the sizes the windows expect.
// KV_ART_DUMP=DIR writes each picture there as PNG, for looking at.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QSet>
#include <QSvgRenderer>

#include "core/panels/MeterKeys.h"

namespace {

struct Art { QString path; QSize size; };

std::vector<Art> allArtwork() {
    std::vector<Art> v = {{":/artwork/meter.svg", {220, 648}}, {":/artwork/kv2047.svg", {64, 64}}};
    for (const char* t : {"save", "open", "run", "stop", "print", "undozoom", "help"})
        v.push_back({QStringLiteral(":/artwork/toolbar/%1.svg").arg(t), {27, 20}});
    for (const kv::MeterKey& k : kv::kMeterKeys)
        v.push_back({QStringLiteral(":/artwork/keys/%1").arg(k.image), {k.imageWidth, k.imageHeight}});
    return v;
}

QImage render(const Art& a, QSvgRenderer& svg) {
    QImage img(a.size, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    QPainter p(&img);
    svg.render(&p);
    return img;
}

TEST(Artwork, EveryPictureLoadsAtItsSize) {
    const QString dump = qEnvironmentVariable("KV_ART_DUMP");
    for (const Art& a : allArtwork()) {
        SCOPED_TRACE(a.path.toStdString());
        QSvgRenderer svg(a.path);
        ASSERT_TRUE(svg.isValid());
        EXPECT_EQ(svg.defaultSize(), a.size);
        const QImage img = render(a, svg);
        QSet<QRgb> colours;
        for (int y = 0; y < img.height(); y += 2)
            for (int x = 0; x < img.width(); x += 2) colours.insert(img.pixel(x, y));
        EXPECT_GT(colours.size(), 3) << "a blank picture";
        if (!dump.isEmpty()) {
            QDir().mkpath(dump);
            img.save(dump + "/" + QFileInfo(a.path).completeBaseName() + ".png");
        }
    }
}

// The keys' images are opaque over the whole button, so the picture behind
// does not show through a key.
TEST(Artwork, KeyImagesAreOpaque) {
    for (const kv::MeterKey& k : kv::kMeterKeys) {
        QSvgRenderer svg(QStringLiteral(":/artwork/keys/%1").arg(k.image));
        const QImage img = render({"", {k.imageWidth, k.imageHeight}}, svg);
        for (int y = 0; y < k.height; ++y)
            for (int x = 0; x < k.width; ++x) ASSERT_EQ(qAlpha(img.pixel(x, y)), 255) << k.name << " " << x << "," << y;
    }
}

}  // namespace
