#pragma once
// The About box: program icon, name and version, one line on what it is for,
// and the licences of the program and of Qt.
#include <QDialog>

class AboutDialog : public QDialog {
    Q_OBJECT
public:
    explicit AboutDialog(QWidget* parent = nullptr);

    static constexpr const char* kIconPath = ":/artwork/kv2047.svg";
};
