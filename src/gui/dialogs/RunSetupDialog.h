#pragma once
// The run settings dialog: sample rate in seconds and sample count, each an
// integer field with up/down arrows. OK takes the values kept within what the
// store and the arrows allow; closing the window otherwise changes nothing.
#include <QDialog>
#include <QString>
#include <optional>

class QLineEdit;

class RunSetupDialog : public QDialog {
    Q_OBJECT
public:
    RunSetupDialog(int rate, int count, QWidget* parent = nullptr);

    // The values taken by OK (before it: those the dialog opened with),
    // seconds 1..3600 and samples 1000..10000.
    int rate() const { return rate_; }
    int count() const { return count_; }

    // A field's text as an integer: optional blanks and sign around digits.
    // Values beyond the int range saturate. Empty when the text is no integer.
    static std::optional<int> parseInteger(const QString& text);
    // One arrow step (dir +1 or -1) from what the field shows, or from `last`
    // when it shows no integer.
    static int stepRate(const QString& text, int last, int dir);
    static int stepCount(const QString& text, int last, int dir);

protected:
    bool eventFilter(QObject* obj, QEvent* e) override;

private:
    void stepRateField(int dir);
    void stepCountField(int dir);
    void onOk();

    QLineEdit* rateEdit_ = nullptr;
    QLineEdit* countEdit_ = nullptr;
    int rate_;
    int count_;
    int arrowRate_;    // where the arrows step from when a field shows no integer
    int arrowCount_;
};
