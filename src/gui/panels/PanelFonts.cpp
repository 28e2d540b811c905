#include "gui/panels/PanelFonts.h"

#include <QFontMetricsF>
#include <QWidget>
#include <algorithm>
#include <cmath>

#include "gui/Fonts.h"

namespace kv {

QFont panelFont(const QString& face, int height, int weight, int averageWidth) {
    QFont f = faceFont(face);
    // The light weights name faces that have no thin cut where the panels
    // were drawn, so they showed at regular weight; a thin cut that fontconfig
    // may find here would make the fields look disabled.
    f.setWeight(static_cast<QFont::Weight>(std::max(weight, 400)));
    if (height < 0) {
        f.setPixelSize(-height);
    } else {
        f.setPixelSize(100);
        const qreal cell = QFontMetricsF(f).height();
        f.setPixelSize(std::max(1, static_cast<int>(std::lround(height * 100.0 / (cell > 0 ? cell : 100.0)))));
    }
    if (averageWidth > 0) {
        const qreal natural = QFontMetricsF(f).averageCharWidth();
        if (natural > 0) f.setStretch(std::clamp(static_cast<int>(std::lround(averageWidth * 100.0 / natural)), 1, 4000));
    }
    return f;
}

void applyPanelColours(QWidget* w) {
    QPalette pal = w->palette();
    const QColor grey(240, 240, 240);
    for (auto role : {QPalette::Window, QPalette::Base, QPalette::Button, QPalette::AlternateBase})
        pal.setColor(role, grey);
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) pal.setColor(role, Qt::black);
    w->setPalette(pal);
    w->setAutoFillBackground(true);
}

}  // namespace kv
