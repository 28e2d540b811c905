#include "gui/dialogs/ComPortDialog.h"

#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QSerialPortInfo>
#include <QVBoxLayout>

ComPortDialog::Input ComPortDialog::checkInput(const QString& text) {
    static const QRegularExpression re(QStringLiteral("^\\s*\\+?([0-9]+)\\s*$"));
    const QRegularExpressionMatch m = re.match(text);
    if (!m.hasMatch()) return {Input::NotPositive, 0};
    // Leading zeros are harmless; more digits than any port number has is simply out of range.
    QStringView digits = m.capturedView(1);
    while (digits.size() > 1 && digits.front() == u'0') digits = digits.mid(1);
    if (digits == u"0") return {Input::NotPositive, 0};
    if (digits.size() > 2) return {Input::OutOfRange, 0};
    const int n = digits.toInt();
    if (n < kFirstPort || n > kLastPort) return {Input::OutOfRange, 0};
    return {Input::Ok, n};
}

ComPortDialog::ComPortDialog(int currentPort, QWidget* parent) : QDialog(parent) {
    setWindowTitle("COM Port Setup");
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    auto* frame = new QGroupBox("Input integer number 5 to 16", this);
    auto* label = new QLabel("COM  No.", frame);
    edit_ = new QLineEdit(QString::number(currentPort > 4 ? currentPort : kFirstPort), frame);
    edit_->setObjectName("portEdit");
    edit_->setMaxLength(10);
    edit_->setFixedWidth(70);
    edit_->setToolTip("Port number 5 to 16");
    edit_->selectAll();
    label->setBuddy(edit_);

    auto* row = new QHBoxLayout(frame);
    row->addWidget(label);
    row->addWidget(edit_);
    row->addStretch(1);

    auto* ok = new QPushButton("OK", this);
    ok->setObjectName("ok");
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &ComPortDialog::onOk);

    // What the machine has, so the user can tell which device a number should name.
    auto* found = new QLabel("Serial ports found on this computer:", this);
    auto* list = new QListWidget(this);
    list->setObjectName("portList");
    list->setSelectionMode(QAbstractItemView::NoSelection);
    list->setFocusPolicy(Qt::NoFocus);
    list->setFixedHeight(90);
    found->setBuddy(list);
    listSerialPorts(list);

    auto* top = new QHBoxLayout;
    top->addWidget(frame, 1);
    top->addSpacing(10);
    top->addWidget(ok, 0, Qt::AlignTop);
    auto* outer = new QVBoxLayout(this);
    outer->addLayout(top);
    outer->addWidget(found);
    outer->addWidget(list);
    setMinimumWidth(360);
}

void ComPortDialog::listSerialPorts(QListWidget* list) {
    const auto ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo& p : ports) {
        // Windows' ports are listed by the name COMn takes ("COM3", not "\\.\COM3").
        QString line = p.systemLocation().startsWith(QLatin1String("\\\\.\\")) ? p.portName() : p.systemLocation();
        if (!p.description().isEmpty()) line += QStringLiteral("  \u2014  ") + p.description();
        list->addItem(line);
    }
    if (ports.isEmpty()) list->addItem("(none found)");
}

void ComPortDialog::onOk() {
    const Input in = checkInput(edit_->text());
    if (in.status == Input::NotPositive) {
        QMessageBox::warning(this, QGuiApplication::applicationDisplayName(), "Please enter a positive integer.");
        edit_->setFocus();
        edit_->selectAll();
        return;
    }
    if (in.status == Input::Ok) chosen_ = in.port;
    accept();
}
