// With only the fonts the package depends on (fontconfig limited to
// fonts-liberation, as on a fresh install), every face the program asks for
// is the font it is mapped to, the menus keep the system's font, and every
// fixed field shows its longest text whole: QLineEdit scrolls a text that does
// not fit, and the clock lost its first digit that way.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFontInfo>
#include <QLineEdit>
#include <QMenuBar>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QTemporaryDir>

#include <algorithm>
#include <memory>
#include <string>

#include "core/panels/ReadingSet.h"
#include "gui/Fonts.h"
#include "gui/MainWindow.h"
#include "gui/panels/GraphControlBar.h"
#include "gui/panels/ReadingsPanel.h"

namespace {

struct FaceRow {
    const char* face;
    const char* font;
};

class FreshFonts : public ::testing::TestWithParam<FaceRow> {};

TEST_P(FreshFonts, FaceIsTheFontItIsMappedTo) {
    EXPECT_EQ(QFontInfo(kv::faceFont(GetParam().face, 14)).family().toStdString(), GetParam().font);
}

INSTANTIATE_TEST_SUITE_P(Faces, FreshFonts,
                         ::testing::Values(FaceRow{"Arial", "Liberation Sans"},
                                           FaceRow{"Black Arial", "Liberation Sans"},
                                           FaceRow{"black Arial", "Liberation Sans"},
                                           FaceRow{"black ROMAN", "Liberation Sans"},
                                           FaceRow{"SimSun", "Liberation Mono"}),
                         [](const auto& info) {
                             std::string name = info.param.face;
                             name.erase(std::remove(name.begin(), name.end(), ' '), name.end());
                             return name;
                         });

// The artwork's texts ask for the face the program maps Arial to.
TEST(FreshFontsArtwork, TextsNameTheMappedFace) {
    for (const char* svg : {":/artwork/meter.svg", ":/artwork/keys/key_units.svg"}) {
        const QString text = QString::fromUtf8(kv::mappedSvg(svg));
        EXPECT_GT(text.count("font-family=\"Liberation Sans\""), 0) << svg;
        EXPECT_EQ(text.count("font-family="), text.count("font-family=\"Liberation Sans\"")) << svg;
    }
}

// Whether QLineEdit shows `text` without scrolling: its rule, the text's
// width with the cursor and the font's overhangs within the contents.
bool showsWhole(const QLineEdit* e, const QString& text) {
    QStyleOptionFrame o;
    o.initFrom(e);
    o.rect = e->contentsRect();
    o.lineWidth = e->hasFrame() ? e->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &o, e) : 0;
    o.state |= QStyle::State_Sunken;
    const QRect r = e->style()->subElementRect(QStyle::SE_LineEditContents, &o, e).marginsRemoved(e->textMargins());
    const QFontMetricsF fm(e->font());
    const qreal needed = fm.horizontalAdvance(text) + 1 + std::max<qreal>(0, -fm.minLeftBearing()) +
                         std::max<qreal>(0, -fm.minRightBearing());
    constexpr int kMargin = 2;   // QLineEdit's own, at either end
    return needed <= r.width() - 2 * kMargin;
}

TEST(FreshFontsWindow, MenusKeepTheSystemFontAndFixedFieldsShowTheirLongestTexts) {
    kv::settleSystemFont();   // as the program does before its windows
    QTemporaryDir dir;
    AppOptions o;
    o.configDir = dir.path();
    o.port = dir.filePath("no-such-device");
    MainWindow w(o);
    const QFontInfo menus(w.menuBar()->font());
    EXPECT_EQ(menus.family(), QFontInfo(QApplication::font()).family());
    EXPECT_FALSE(menus.fixedPitch()) << menus.family().toStdString();

    using Bar = GraphControlBar;
    const struct {
        QLineEdit* field;
        QString text;
    } bar[] = {
        {w.graphBar()->field(Bar::Clock), "08/12/26 11:46:32"},
        {w.graphBar()->field(Bar::StartTime), "08/12/26 11:46:32"},
        {w.graphBar()->field(Bar::DataNo), "10000"},
        {w.graphBar()->field(Bar::SampleRate), "3600"},
        {w.graphBar()->field(Bar::SampleCount), "10000"},
        {w.graphBar()->field(Bar::Battery), "Normal"},
    };
    for (const auto& b : bar) EXPECT_TRUE(showsWhole(b.field, b.text)) << b.text.toStdString();

    const ReadingsPanel* p = w.readingsPanel();
    for (int q = 0; q < 5; ++q) {
        // The widest readings: a K/IR or dew point far below zero in °F, full humidity.
        for (const QString& t : {QStringLiteral("-148.0F"), QStringLiteral("100.0 %RH")}) {
            EXPECT_TRUE(showsWhole(p->maxField(q), t)) << "Max " << q << " " << t.toStdString();
            EXPECT_TRUE(showsWhole(p->minField(q), t)) << "Min " << q << " " << t.toStdString();
        }
        // The limits at their bounds, typed or spun.
        for (bool high : {true, false})
            for (const kv::LimitBounds& b : {kv::kTypedBounds[q], kv::kSpinBounds[q]})
                for (float v : {b.lo, b.hi}) {
                    const QString t = QString::fromStdString(kv::formatOneDecimal(v));
                    EXPECT_TRUE(showsWhole(p->limitField(q, high), t)) << "limit " << q << " " << t.toStdString();
                }
    }
}

}  // namespace
