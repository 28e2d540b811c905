#pragma once
// A line edit that lets only number characters be typed: digits, ".", "-" and
// backspace. Text set by the program or pasted from the context menu is not
// filtered; the owner reads the text as a number.
#include <QLineEdit>

class NumberEdit : public QLineEdit {
    Q_OBJECT
public:
    using QLineEdit::QLineEdit;

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void inputMethodEvent(QInputMethodEvent* e) override;
};
