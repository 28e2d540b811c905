#include "gui/dialogs/YScaleDialog.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

#include "core/panels/YScale.h"
#include "gui/Fonts.h"

namespace {
// Dialog units to pixels.
QRect du(int x, int y, int w, int h) { return QRect(x * 2, y * 2, w * 2, h * 2); }
}  // namespace

YScaleDialog::YScaleDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setWindowTitle("Y OFFSET And Y GAINS Setup");
    setFixedSize(280, 116);

    QFont labelFont = kv::faceFont("Arial", 13);
    labelFont.setWeight(QFont::Medium);

    auto* group = new QGroupBox("Y OFFSET And Y GAINS ", this);
    group->setGeometry(du(7, 2, 126, 38));

    auto* offsetLabel = new QLabel("Y OFFSET(DIV)", this);
    offsetLabel->setGeometry(du(13, 15, 49, 8));
    offsetLabel->setFont(labelFont);
    offsetList_ = new QComboBox(this);
    offsetList_->setGeometry(du(13, 24, 50, 12));
    for (const char* t : kv::kYOffsetTexts) offsetList_->addItem(t);
    offsetList_->setCurrentIndex(-1);
    offsetList_->setToolTip("Grid divisions below zero at the bottom of the graph");

    auto* gainLabel = new QLabel("Y GAINS/DIV", this);
    gainLabel->setGeometry(du(78, 15, 42, 8));
    gainLabel->setFont(labelFont);
    gainList_ = new QComboBox(this);
    gainList_->setGeometry(du(78, 24, 48, 12));
    for (const char* t : kv::kYGainTexts) gainList_->addItem(t);
    gainList_->setCurrentIndex(-1);
    gainList_->setToolTip("Value per grid division");

    auto* ok = new QPushButton("OK", this);
    ok->setGeometry(du(55, 40, 27, 14));
    ok->setFont(labelFont);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &YScaleDialog::accept);
}

void YScaleDialog::accept() {
    offsetChoice_ = offsetList_->currentIndex();
    gainChoice_ = gainList_->currentIndex();
    QDialog::accept();
}

bool YScaleDialog::edit(QWidget* parent, int32_t& yOffset, int32_t& yGain) {
    YScaleDialog dlg(parent);
    if (dlg.exec() != QDialog::Accepted) return false;
    kv::applyYScaleChoice(dlg.offsetChoice(), dlg.gainChoice(), yOffset, yGain);
    return true;
}
