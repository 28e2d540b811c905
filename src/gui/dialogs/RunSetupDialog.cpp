#include "gui/dialogs/RunSetupDialog.h"

#include <QEvent>
#include <QGuiApplication>
#include <QFont>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <climits>

#include "core/link/LinkEngine.h"
#include "gui/panels/PanelKeyFilter.h"

namespace {

constexpr int kCountStep = 1000;

QFont dialogFont() {
    QFont f("Arial");
    f.setPixelSize(15);
    f.setWeight(QFont::Weight(500));
    return f;
}

// An up-down control: two small arrow buttons stacked beside the field.
QWidget* makeArrows(QWidget* parent, const QString& name, QToolButton** up, QToolButton** down) {
    auto* box = new QWidget(parent);
    auto* col = new QVBoxLayout(box);
    col->setContentsMargins(0, 0, 0, 0);
    col->setSpacing(0);
    for (QToolButton** b : {up, down}) {
        *b = new QToolButton(box);
        (*b)->setArrowType(b == up ? Qt::UpArrow : Qt::DownArrow);
        (*b)->setFixedSize(18, 13);
        (*b)->setAutoRepeat(true);
        (*b)->setFocusPolicy(Qt::NoFocus);
        (*b)->setObjectName(name + (b == up ? "Up" : "Down"));
        col->addWidget(*b);
    }
    return box;
}

}  // namespace

std::optional<int> RunSetupDialog::parseInteger(const QString& text) {
    static const QRegularExpression re(QStringLiteral("^\\s*([+-]?)([0-9]+)\\s*$"));
    const QRegularExpressionMatch m = re.match(text);
    if (!m.hasMatch()) return std::nullopt;
    const bool negative = m.captured(1) == "-";
    long long v = 0;
    for (QChar c : m.capturedView(2)) {
        v = v * 10 + c.digitValue();
        if (v > INT_MAX) return negative ? INT_MIN : INT_MAX;  // far outside any range we keep
    }
    return static_cast<int>(negative ? -v : v);
}

int RunSetupDialog::stepRate(const QString& text, int last, int dir) {
    const int from = kv::clampRate(parseInteger(text).value_or(last));
    return kv::clampRate(from + dir);
}

int RunSetupDialog::stepCount(const QString& text, int last, int dir) {
    const long long from = parseInteger(text).value_or(last);
    const long long to = std::clamp<long long>(from + static_cast<long long>(dir) * kCountStep, INT_MIN, INT_MAX);
    return kv::clampCount(static_cast<int>(to));
}

RunSetupDialog::RunSetupDialog(int rate, int count, QWidget* parent)
    : QDialog(parent), rate_(kv::clampRate(rate)), count_(kv::clampCount(count)), arrowRate_(rate_),
      arrowCount_(count_) {
    setWindowTitle("Sample Rate And Sample Data ");
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    const QFont font = dialogFont();

    auto* rateLabel = new QLabel("Sample Rate", this);
    auto* secLabel = new QLabel("Sec", this);
    auto* countLabel = new QLabel("Sample Data", this);
    for (QLabel* l : {rateLabel, secLabel, countLabel}) l->setFont(font);

    rateEdit_ = new QLineEdit(QString::number(rate_), this);
    rateEdit_->setObjectName("rateEdit");
    rateEdit_->setToolTip("Seconds between two samples, 1 to 3600");
    countEdit_ = new QLineEdit(QString::number(count_), this);
    countEdit_->setObjectName("countEdit");
    countEdit_->setToolTip("Number of samples in the run, 1000 to 10000");
    for (QLineEdit* e : {rateEdit_, countEdit_}) {
        e->setFixedWidth(90);
        e->setMaxLength(12);
        e->installEventFilter(this);  // Up and Down keys step like the arrows
    }
    rateLabel->setBuddy(rateEdit_);
    countLabel->setBuddy(countEdit_);

    QToolButton *rateUp, *rateDown, *countUp, *countDown;
    QWidget* rateArrows = makeArrows(this, "rate", &rateUp, &rateDown);
    QWidget* countArrows = makeArrows(this, "count", &countUp, &countDown);
    connect(rateUp, &QToolButton::clicked, this, [this] { stepRateField(+1); });
    connect(rateDown, &QToolButton::clicked, this, [this] { stepRateField(-1); });
    connect(countUp, &QToolButton::clicked, this, [this] { stepCountField(+1); });
    connect(countDown, &QToolButton::clicked, this, [this] { stepCountField(-1); });

    auto* ok = new QPushButton("OK", this);
    ok->setObjectName("ok");
    ok->setFont(font);
    ok->setAutoDefault(false);
    connect(ok, &QPushButton::clicked, this, &RunSetupDialog::onOk);

    auto* fieldRate = new QHBoxLayout;
    fieldRate->setSpacing(0);
    fieldRate->addWidget(rateEdit_);
    fieldRate->addWidget(rateArrows);
    auto* fieldCount = new QHBoxLayout;
    fieldCount->setSpacing(0);
    fieldCount->addWidget(countEdit_);
    fieldCount->addWidget(countArrows);

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(12);
    grid->addWidget(rateLabel, 0, 0);
    grid->addLayout(fieldRate, 0, 1);
    grid->addWidget(secLabel, 0, 2);
    grid->addWidget(countLabel, 1, 0);
    grid->addLayout(fieldCount, 1, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addStretch(1);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(18, 16, 18, 14);
    outer->setSpacing(16);
    outer->addLayout(grid);
    outer->addLayout(buttons);
    outer->setSizeConstraint(QLayout::SetFixedSize);

    // Enter and Esc neither press OK nor close the dialog.
    kv::installPanelKeyFilter(this);
}

bool RunSetupDialog::eventFilter(QObject* obj, QEvent* e) {
    if (e->type() == QEvent::KeyPress && (obj == rateEdit_ || obj == countEdit_)) {
        const int key = static_cast<QKeyEvent*>(e)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down) {
            const int dir = key == Qt::Key_Up ? +1 : -1;
            obj == rateEdit_ ? stepRateField(dir) : stepCountField(dir);
            return true;
        }
    }
    return QDialog::eventFilter(obj, e);
}

void RunSetupDialog::stepRateField(int dir) {
    arrowRate_ = stepRate(rateEdit_->text(), arrowRate_, dir);
    rateEdit_->setText(QString::number(arrowRate_));
}

void RunSetupDialog::stepCountField(int dir) {
    arrowCount_ = stepCount(countEdit_->text(), arrowCount_, dir);
    countEdit_->setText(QString::number(arrowCount_));
}

void RunSetupDialog::onOk() {
    const std::optional<int> r = parseInteger(rateEdit_->text());
    const std::optional<int> c = parseInteger(countEdit_->text());
    if (!r || !c) {
        QLineEdit* bad = r ? countEdit_ : rateEdit_;
        QMessageBox::warning(this, QGuiApplication::applicationDisplayName(), "Please enter an integer.");
        bad->setFocus();
        bad->selectAll();
        return;
    }
    rate_ = kv::clampRate(*r);
    count_ = kv::clampCount(*c);
    accept();
}
