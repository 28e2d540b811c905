#pragma once
// The Y scale dialog: the user picks the offset and the gain of a graph's
// vertical axis. Both lists start with no selection, so a list left alone
// keeps its value (choice -1).
#include <QDialog>
#include <cstdint>

class QComboBox;

class YScaleDialog : public QDialog {
    Q_OBJECT
public:
    explicit YScaleDialog(QWidget* parent = nullptr);

    // Positions chosen when OK ended the dialog, -1 when nothing was chosen.
    int offsetChoice() const { return offsetChoice_; }
    int gainChoice() const { return gainChoice_; }

    QComboBox* offsetList() const { return offsetList_; }
    QComboBox* gainList() const { return gainList_; }

    // Runs the dialog modally; on OK applies the choices to the pair and
    // returns true (the caller redraws its graph), on cancel changes nothing.
    static bool edit(QWidget* parent, int32_t& yOffset, int32_t& yGain);

    void accept() override;

private:
    QComboBox* offsetList_;
    QComboBox* gainList_;
    int offsetChoice_ = -1;
    int gainChoice_ = -1;
};
