#include "gui/panels/MeterPanel.h"

#include <QPaintEvent>
#include <QPainter>
#include <QVBoxLayout>

#include "gui/panels/MeterKeyButton.h"
#include "core/panels/MeterFace.h"
#include "core/panels/MeterKeys.h"
#include "gui/Fonts.h"
#include "gui/graph/PlotSurface.h"
#include "gui/panels/PanelFonts.h"
#include "gui/panels/PanelKeyFilter.h"
#include "session/MeterSession.h"

namespace {

QColor rgb(kv::Rgb c) { return QColor(c.r, c.g, c.b); }

// The meter's front: the picture tiled from the top-left corner, the display
// window's colour and the meter's display texts over it.
class MeterFace : public QWidget {
public:
    MeterFace(const MeterSession& session, QWidget* parent) : QWidget(parent), session_(session) {
        setAttribute(Qt::WA_OpaquePaintEvent);
        setAccessibleName(QStringLiteral("Meter display"));
        setAccessibleDescription(QStringLiteral("The meter's display as the meter shows it: its readings, unit and "
                                                "labels; OFFLINE while the meter is silent"));
        using kv::MeterFont;
        fonts_[int(MeterFont::A)] = kv::panelFont("Arial", 44, 700, 7);
        fonts_[int(MeterFont::B)] = kv::panelFont("Arial", -10, 100, 4);
        fonts_[int(MeterFont::C)] = kv::panelFont("black Arial", -5, 100);
        fonts_[int(MeterFont::D)] = kv::panelFont("Arial", 50, 700, 12);
        fonts_[int(MeterFont::E)] = kv::panelFont("Arial", -10, 100, 3);
        fonts_[int(MeterFont::F)] = kv::panelFont("Arial", 75, 700, 16);
    }

protected:
    void paintEvent(QPaintEvent* e) override {
        const kv::Model& m = session_.model();
        QPainter p(this);
        drawPicture(p, e->region());
        p.fillRect(kv::kDisplayX, kv::kDisplayY, kv::kDisplayW, kv::kDisplayH, rgb(kv::displayColour(m.meter)));
        if (height() > kv::kMeterFaceBottom)
            p.fillRect(0, kv::kMeterFaceBottom, width(), height() - kv::kMeterFaceBottom, rgb(kv::kPanelBackground));
        for (const kv::MeterText& t : kv::meterDisplayTexts(m.meter, m.run.offline != 0)) {
            const QFont& f = fonts_[int(t.font)];
            p.setFont(f);
            p.setPen(t.red ? QColor(255, 0, 0) : QColor(0, 0, 0));
            p.drawText(QPointF(t.x, t.y + QFontMetricsF(f).ascent()), QString::fromStdString(t.text));
        }
    }

private:
    // The picture tiled from the top-left corner over `region`, copied block
    // by block: a frame repaints the display window alone, in one copy.
    void drawPicture(QPainter& p, const QRegion& region) {
        const QPixmap& pic = picture();
        const int w = kv::kMeterPictureW, h = kv::kMeterPictureH;
        for (const QRect& r : region)
            for (int ty = r.top() / h * h; ty <= r.bottom(); ty += h)
                for (int tx = r.left() / w * w; tx <= r.right(); tx += w)
                    copyDevicePixels(p, r & QRect(tx, ty, w, h), pic, QPoint(tx, ty));
    }

    // The meter's picture as a tile, drawn from its vectors at the screen's
    // pixel density (again when the window moves to a screen of another).
    const QPixmap& picture() {
        return kv::svgPicture(picture_, QStringLiteral(":/artwork/meter.svg"),
                              QSize(kv::kMeterPictureW, kv::kMeterPictureH), devicePixelRatioF(),
                              rgb(kv::kPanelBackground));
    }

    const MeterSession& session_;
    QPixmap picture_;
    std::array<QFont, 6> fonts_;
};

}  // namespace

MeterPanel::MeterPanel(MeterSession& session, QWidget* parent) : QFrame(parent), session_(session) {
    hide();
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(2);
    auto* lay = new QVBoxLayout(this);
    lay->setContentsMargins(0, 0, 0, 0);
    client_ = new MeterFace(session_, this);
    lay->addWidget(client_);
    for (int i = 0; i < kv::kMeterKeyCount; ++i) {
        auto* k = new MeterKeyButton(kv::kMeterKeys[i], client_);
        connect(k, &MeterKeyButton::pressed, this, [this, i] { session_.pressKey(i); });
        connect(k, &MeterKeyButton::doubleClicked, this, [this, i] { session_.doubleClickKey(i); });
        keys_[i] = k;
    }
    kv::installPanelKeyFilter(this);
    // The display mirrors the meter's: its texts change with each frame, and
    // "OFFLINE" comes and goes with the link.
    const auto repaint = [this] { repaintDisplay(); };
    connect(&session_, &MeterSession::frameAccepted, this, repaint);
    connect(&session_, &MeterSession::sampleCommitted, this, repaint);
    connect(&session_, &MeterSession::offlineChanged, this, repaint);
    connect(&session_, &MeterSession::runRestored, this, repaint);
}

void MeterPanel::repaintDisplay() {
    client_->update(kv::kDisplayRepaintX, kv::kDisplayRepaintY, kv::kDisplayRepaintW, kv::kDisplayRepaintH);
}
