// The statistics window shows a given result, copies it and closes on Esc.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QTest>

#include "gui/stats/StatsWindow.h"

TEST(StatsWindow, ShowsTheStatisticsCopiesThemAndClosesOnEscape) {
    kv::RunStats stats;
    stats.samples = 1000;
    stats.first = 119;
    stats.last = 479;
    stats.q[kv::AIR] = {361, 0, kv::Extreme{68.0, 119}, kv::Extreme{86.25, 200}, 77.126, 9.0};
    stats.q[kv::KIR] = {0, 361, {}, {}, {}, {}};
    stats.q[kv::RH] = {1, 0, kv::Extreme{50.0, 479}, kv::Extreme{50.0, 479}, 50.0, {}};
    const kv::SampleClock clock{1185522035, 5};   // 27/07/07 07:40:35 UTC, 5 s apart

    StatsWindow w;
    w.setStatistics(stats, clock, "F");
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    EXPECT_EQ(w.caption()->text(), QString("Samples 120\u2013480 of 1000"));
    const QTableWidget* t = w.table();
    auto row = [&](int q) {
        QStringList cells{t->verticalHeaderItem(q)->text()};
        for (int c = 0; c < t->columnCount(); ++c) cells << t->item(q, c)->text();
        return cells.join('|');
    };
    EXPECT_EQ(row(kv::AIR), QString("AIR (\u00B0F)|361|68.00|27/07/07 07:50:30|86.25|27/07/07 07:57:15|77.13|9.00"));
    EXPECT_EQ(row(kv::KIR), QString("K/IR (\u00B0F)|0|\u2013|\u2013|\u2013|\u2013|\u2013|\u2013"));
    EXPECT_EQ(row(kv::RH), QString("RH (%RH)|1|50.00|27/07/07 08:20:30|50.00|27/07/07 08:20:30|50.00|\u2013"));
    EXPECT_EQ(t->item(kv::AIR, 2)->toolTip(), QString("Sample 120 of 1000"));
    // The whole table fits without scrolling.
    EXPECT_GE(t->viewport()->width(), t->horizontalHeader()->length());

    QApplication::clipboard()->clear();
    QTest::keyClick(&w, Qt::Key_C, Qt::ControlModifier);
    const QStringList copied = QApplication::clipboard()->text().split('\n');
    ASSERT_EQ(copied.size(), 8) << copied.join('\n').toStdString();
    EXPECT_EQ(copied[0], w.caption()->text());
    EXPECT_EQ(copied[1], QString("\tvalid\tmin\tat\tmax\tat\tmean\tsd"));
    EXPECT_EQ(copied[2], row(kv::AIR).replace('|', '\t'));

    QTest::keyClick(&w, Qt::Key_Escape);
    EXPECT_FALSE(w.isVisible());
}
