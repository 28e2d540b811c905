#include <QApplication>

#include "app/CMainFrame.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    CMainFrame w(AppOptions{});
    w.showMaximized();
    return app.exec();
}
