#pragma once
// A small window of its own with the statistics of a run or of the part of it
// on show: one row per quantity (valid samples, minimum and maximum with the
// time each first occurred, mean, standard deviation) under a caption naming
// the span. Whoever opens it refreshes it with setStatistics().
#include <QString>
#include <QWidget>

#include "core/record/RunStats.h"

class QLabel;
class QTableWidget;

class StatsWindow : public QWidget {
    Q_OBJECT
public:
    explicit StatsWindow(QWidget* parent = nullptr);

    // Shows `stats`; the extremes' times come from `clock`, and `unitText` is
    // the run's temperature unit ("C" or "F").
    void setStatistics(const kv::RunStats& stats, const kv::SampleClock& clock, const QString& unitText);

    // The caption and the table as tab-separated lines, as Copy puts them on the clipboard.
    QString tableText() const;
    void copyTable() const;

    QLabel* caption() const { return caption_; }
    QTableWidget* table() const { return table_; }

private:
    QLabel* caption_;
    QTableWidget* table_;
};
