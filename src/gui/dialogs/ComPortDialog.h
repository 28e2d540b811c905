#pragma once
// "COM Port Setup": choose a port number from 5 to 16 (COM1 to COM4 have menu
// items of their own). Also lists the serial devices this computer has.
#include <QDialog>
#include <QString>
#include <optional>

class QLineEdit;
class QListWidget;

class ComPortDialog : public QDialog {
    Q_OBJECT
public:
    ComPortDialog(int currentPort, QWidget* parent = nullptr);

    // The port chosen with OK; empty when the value was outside 5..16 or the
    // dialog was closed otherwise.
    std::optional<int> chosenPort() const { return chosen_; }

    // What OK makes of the field's text.
    struct Input {
        enum Status { NotPositive, OutOfRange, Ok } status;
        int port;  // the port when Ok, else 0
    };
    static Input checkInput(const QString& text);

    static constexpr int kFirstPort = 5;
    static constexpr int kLastPort = 16;

private:
    void onOk();
    void listSerialPorts(QListWidget* list);

    QLineEdit* edit_ = nullptr;
    std::optional<int> chosen_;
};
