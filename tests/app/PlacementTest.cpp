// Windows of their own open beside their owner, on its screen.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include "gui/Placement.h"

namespace {

// Positions in an available area of 800 x 600 pixels (the screen's own, if
// taller, is cut to that height: the owner and the window are moved down by
// the difference when `bottom` says they lie at its bottom).
struct PlaceRow {
    const char* name;
    QRect owner;
    QSize window;
    QPoint at;     // where the window's frame goes
    bool bottom = false;
};

class Placement : public ::testing::TestWithParam<PlaceRow> {};

TEST_P(Placement, BesideTheOwnerAndWholeOnItsScreen) {
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    ASSERT_EQ(screen.width(), 800);
    ASSERT_GE(screen.height(), 600);
    const PlaceRow& r = GetParam();
    const QPoint origin = screen.topLeft() + QPoint(0, r.bottom ? screen.height() - 600 : 0);
    QWidget owner;
    owner.setGeometry(r.owner.translated(origin));
    QWidget window(&owner, Qt::Tool);
    window.resize(r.window);
    kv::placeBeside(&window, &owner);
    EXPECT_EQ(window.pos(), r.at + origin);
    EXPECT_TRUE(screen.contains(window.frameGeometry()));
}

INSTANTIATE_TEST_SUITE_P(
    Owners, Placement,
    ::testing::Values(PlaceRow{"RoomOnTheRight", {100, 100, 300, 200}, {200, 150}, {400, 100}},
                      PlaceRow{"RoomOnTheLeftOnly", {500, 100, 300, 200}, {200, 150}, {300, 100}},
                      PlaceRow{"OwnerAsWideAsTheScreen", {0, 0, 800, 600}, {200, 150}, {559, 160}},
                      PlaceRow{"PulledBackAboveTheBottom", {0, 500, 800, 100}, {200, 150}, {559, 450}, true}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
