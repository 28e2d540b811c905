#include "gui/AboutDialog.h"

#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QSvgRenderer>
#include <QVBoxLayout>

namespace {

// The program icon at `size` pixels; a null pixmap when the artwork is missing or unreadable.
QPixmap programIcon(int size, qreal dpr) {
    if (!QFile::exists(AboutDialog::kIconPath)) return {};
    QSvgRenderer svg(QString::fromLatin1(AboutDialog::kIconPath));
    if (!svg.isValid()) return {};
    QPixmap pm(QSize(size, size) * dpr);
    pm.setDevicePixelRatio(dpr);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    svg.render(&p, QRectF(0, 0, size, size));
    return pm;
}

}  // namespace

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle("About KV2047");
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    auto* icon = new QLabel(this);
    icon->setObjectName("icon");
    const QPixmap pm = programIcon(48, devicePixelRatioF());
    if (pm.isNull()) {
        icon->hide();
    } else {
        icon->setPixmap(pm);
        icon->setFixedSize(48, 48);
        setWindowIcon(QIcon(pm));
    }

    auto* version = new QLabel("KV2047 Version 1.0", this);
    version->setObjectName("version");
    auto* line = new QLabel("Live readings, recording and reports for the KV2047 meter.", this);
    line->setObjectName("about");
    // The program's licence and that of the Qt it runs on, as both licences ask.
    auto* licence = new QLabel(
        QStringLiteral("KV2047 is free software under the GNU General Public License, version 3 or any later "
                       "version (GPL-3.0-or-later), and comes with ABSOLUTELY NO WARRANTY.\n"
                       "It uses Qt %1, licensed under the GNU Lesser General Public License, version 3 (LGPL-3.0).")
            .arg(QString::fromLatin1(qVersion())),
        this);
    licence->setObjectName("licence");
    licence->setWordWrap(true);
    licence->setFixedWidth(line->sizeHint().width());
    licence->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* ok = new QPushButton("OK", this);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* texts = new QVBoxLayout;
    texts->addWidget(version);
    texts->addWidget(line);
    texts->addSpacing(6);
    texts->addWidget(licence);
    auto* top = new QHBoxLayout;
    top->addWidget(icon, 0, Qt::AlignTop);
    top->addSpacing(12);
    top->addLayout(texts, 1);
    top->addSpacing(12);
    top->addWidget(ok, 0, Qt::AlignTop);
    auto* outer = new QVBoxLayout(this);
    outer->addLayout(top);
    outer->setSizeConstraint(QLayout::SetFixedSize);
}
