#include "gui/stats/StatsWindow.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

#include "core/record/LocalTime.h"

namespace {

enum Column { Valid, Min, MinAt, Max, MaxAt, Mean, Sd, Columns };

const char* const kColumnTitles[Columns] = {"valid", "min", "at", "max", "at", "mean", "sd"};
const char* const kColumnTips[Columns] = {
    "Samples with a reading in the span",
    "Lowest value",
    "When the lowest value first occurred",
    "Highest value",
    "When the highest value first occurred",
    "Mean of the valid samples",
    "Standard deviation of the valid samples (n \u2212 1 in the denominator)",
};
const QString kNone = QStringLiteral("\u2013");

QString number(double v) { return QString::number(v, 'f', 2); }

QString unitLabel(const QString& unitText) {
    return unitText == "C" || unitText == "F" ? QStringLiteral("\u00B0") + unitText : unitText;
}

}  // namespace

StatsWindow::StatsWindow(QWidget* parent) : QWidget(parent, Qt::Tool) {
    setWindowTitle("Statistics");
    caption_ = new QLabel(this);
    caption_->setObjectName("caption");
    caption_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    table_ = new QTableWidget(kv::kQuantities, Columns, this);
    table_->setObjectName("statistics");
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    for (int c = 0; c < Columns; ++c) {
        auto* h = new QTableWidgetItem(kColumnTitles[c]);
        h->setToolTip(kColumnTips[c]);
        table_->setHorizontalHeaderItem(c, h);
    }
    for (int q = 0; q < kv::kQuantities; ++q) {
        table_->setVerticalHeaderItem(q, new QTableWidgetItem(kv::kQuantityNames[q]));
        for (int c = 0; c < Columns; ++c) {
            auto* item = new QTableWidgetItem(kNone);
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            table_->setItem(q, c, item);
        }
    }

    auto* copy = new QAction("&Copy", this);
    copy->setShortcut(QKeySequence::Copy);
    copy->setToolTip("Copy the table as tab-separated text");
    connect(copy, &QAction::triggered, this, &StatsWindow::copyTable);
    addAction(copy);
    table_->addAction(copy);
    table_->setContextMenuPolicy(Qt::ActionsContextMenu);
    auto* close = new QAction("Close", this);
    close->setShortcut(Qt::Key_Escape);
    connect(close, &QAction::triggered, this, &QWidget::close);
    addAction(close);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(caption_);
    layout->addWidget(table_);
    layout->addStretch();
    setStatistics({}, {}, "C");
}

void StatsWindow::setStatistics(const kv::RunStats& stats, const kv::SampleClock& clock, const QString& unitText) {
    const bool empty = stats.last < stats.first;
    caption_->setText(empty ? QString("No samples")
                            : QString("Samples %1\u2013%2 of %3").arg(stats.first + 1).arg(stats.last + 1).arg(stats.samples));
    const QString unit = unitLabel(unitText);
    auto set = [&](int q, int c, const QString& text, const QString& tip) {
        QTableWidgetItem* item = table_->item(q, c);
        item->setText(text);
        item->setToolTip(tip);
    };
    for (int q = 0; q < kv::kQuantities; ++q) {
        const kv::QuantityStats& s = stats.q[q];
        table_->verticalHeaderItem(q)->setText(QString("%1 (%2)").arg(kv::kQuantityNames[q], q == kv::RH ? "%RH" : unit));
        set(q, Valid, QString::number(s.valid), QString("%1 missing (no reading, or not a number)").arg(s.missing));
        const QString none = empty ? QString("No samples") : QString("No valid sample");
        for (const auto& [e, value, at] : {std::tuple{&s.min, Min, MinAt}, std::tuple{&s.max, Max, MaxAt}}) {
            if (!*e) {
                set(q, value, kNone, none);
                set(q, at, kNone, none);
                continue;
            }
            const QString sample = QString("Sample %1 of %2").arg((*e)->index + 1).arg(stats.samples);
            set(q, value, number((*e)->value), sample);
            set(q, at, QString::fromStdString(kv::formatLocal(clock.at((*e)->index), "%d/%m/%y %H:%M:%S")), sample);
        }
        set(q, Mean, s.mean ? number(*s.mean) : kNone, s.mean ? QString() : none);
        set(q, Sd, s.sd ? number(*s.sd) : kNone, s.sd ? QString() : QString("None below two valid samples"));
    }
    table_->resizeColumnsToContents();
    table_->resizeRowsToContents();
    // The whole table without scrolling. The headers' own widths are only set
    // when the view is laid out, so their size hints are used.
    const int frame = 2 * table_->frameWidth();
    table_->setMinimumWidth(table_->verticalHeader()->sizeHint().width() + table_->horizontalHeader()->length() + frame);
    table_->setFixedHeight(table_->horizontalHeader()->sizeHint().height() + table_->verticalHeader()->length() + frame);
    // Fit the table before the window is first shown; later grow when the
    // texts widen, but keep a larger size the user chose.
    if (isVisible()) resize(size().expandedTo(sizeHint()));
    else adjustSize();
}

QString StatsWindow::tableText() const {
    QStringList lines{caption_->text()};
    QStringList cells{QString()};
    for (int c = 0; c < Columns; ++c) cells << table_->horizontalHeaderItem(c)->text();
    lines << cells.join('\t');
    for (int q = 0; q < kv::kQuantities; ++q) {
        cells = QStringList{table_->verticalHeaderItem(q)->text()};
        for (int c = 0; c < Columns; ++c) cells << table_->item(q, c)->text();
        lines << cells.join('\t');
    }
    return lines.join('\n') + '\n';
}

void StatsWindow::copyTable() const { QApplication::clipboard()->setText(tableText()); }
