#include <QApplication>
#include <gtest/gtest.h>

#include <clocale>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");  // as the program does
    QApplication::setApplicationName("KV2047");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
