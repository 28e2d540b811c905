// The help window: where the manual is found, what shows without one, and the
// manual's own pages and links.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QTest>
#include <QTextBrowser>
#include <QToolButton>

#include "TempDir.h"
#include "gui/HelpWindow.h"

namespace {

QString pageText(const HelpWindow& w) { return w.browser()->document()->toPlainText(); }

TEST(HelpWindow, LooksBesideTheProgramFirst) {
    const QStringList c = HelpWindow::manualCandidates();
    ASSERT_EQ(c.size(), 3);
    const QString appDir = QCoreApplication::applicationDirPath();
    EXPECT_EQ(c[0], QDir::cleanPath(appDir + "/../share/kv2047/help/index.html"));
    EXPECT_EQ(c[1], QDir::cleanPath(appDir + "/help/index.html"));
    EXPECT_EQ(c[2], ":/help/index.html");
}

TEST(HelpWindow, FirstExistingCandidateWins) {
    TempDir dir;
    const QString tmp = QString::fromStdString(dir.path.string());
    QDir().mkpath(tmp + "/a/index.html");  // a folder of that name is no page
    writeText(dir.file("index.html"), "<p>local</p>");
    const QString missing = tmp + "/none/index.html";
    const QString local = tmp + "/index.html";
    EXPECT_EQ(HelpWindow::findManual({missing, tmp + "/a/index.html", local, ":/help/index.html"}), local);
    EXPECT_EQ(HelpWindow::findManual({missing, ":/help/index.html"}), ":/help/index.html");
    EXPECT_EQ(HelpWindow::findManual({missing, ":/help/none.html"}), QString());
    EXPECT_EQ(HelpWindow::findManual({}), QString());
}

TEST(HelpWindow, WithoutManualSaysSoAndWhere) {
    const QStringList searched = {"/nowhere/share/kv2047/help/index.html", ":/help/index.html"};
    HelpWindow w(QString(), nullptr, searched);
    w.show();
    EXPECT_FALSE(w.hasManual());
    const QString text = pageText(w);
    EXPECT_TRUE(text.contains("The manual could not be found")) << text.toStdString();
    EXPECT_TRUE(text.contains("/nowhere/share/kv2047/help/index.html"));
    EXPECT_TRUE(text.contains("built into the program"));
    EXPECT_FALSE(w.findChild<QToolButton*>("home")->isEnabled());
}

TEST(HelpWindow, EmptyPageCountsAsMissing) {
    TempDir dir;
    writeText(dir.file("index.html"), "");
    HelpWindow w(QString::fromStdString(dir.file("index.html")), nullptr, {});
    EXPECT_FALSE(w.hasManual());
    EXPECT_TRUE(pageText(w).contains("The manual could not be found"));
}

TEST(HelpWindow, ShowsALocalManualAndFollowsItsLinks) {
    TempDir dir;
    writeText(dir.file("index.html"), "<h1>Local contents</h1><a href=\"two.html\">two</a>");
    writeText(dir.file("two.html"), "<h1>Page two</h1>");
    HelpWindow w(QString::fromStdString(dir.file("index.html")));
    w.show();
    ASSERT_TRUE(w.hasManual());
    EXPECT_TRUE(w.browser()->source().isLocalFile());
    EXPECT_TRUE(pageText(w).contains("Local contents"));

    w.browser()->setSource(QUrl("two.html"));
    EXPECT_TRUE(pageText(w).contains("Page two"));
    auto* back = w.findChild<QToolButton*>("back");
    ASSERT_TRUE(back->isEnabled());
    QTest::mouseClick(back, Qt::LeftButton);
    EXPECT_TRUE(pageText(w).contains("Local contents"));
    EXPECT_TRUE(w.findChild<QToolButton*>("forward")->isEnabled());
}

TEST(HelpWindow, ShowManualOpensOneWindow) {
    HelpWindow::showManual(nullptr);
    HelpWindow* first = HelpWindow::openWindow();
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(first->isVisible());
    EXPECT_EQ(first->windowTitle(), "KV2047 Help");
    // No copy beside the test program: the built-in manual.
    EXPECT_TRUE(first->hasManual());
    EXPECT_EQ(first->browser()->source(), QUrl("qrc:/help/index.html"));
    EXPECT_TRUE(pageText(*first).contains("KV2047 manual"));

    HelpWindow::showManual(nullptr);
    EXPECT_EQ(HelpWindow::openWindow(), first);

    first->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(HelpWindow::openWindow(), nullptr);
}

// Every page of the manual is reachable from the contents, every link leads to
// a page that exists, and every page leads back to the contents.
TEST(Manual, PagesAndLinks) {
    QStringList pages;
    for (QDirIterator it(":/help", {"*.html"}); it.hasNext();) pages << QFileInfo(it.next()).fileName();
    pages.sort();
    const QStringList expected = {"config.html", "connecting.html", "files.html", "graph.html",
                                  "index.html",  "printing.html",   "recording.html"};
    EXPECT_EQ(pages, expected);

    static const QRegularExpression href(QStringLiteral("href=\"([^\"#]+)"));
    QSet<QString> linkedFromIndex;
    for (const QString& page : pages) {
        QFile f(":/help/" + page);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << page.toStdString();
        const QString html = QString::fromUtf8(f.readAll());
        EXPECT_TRUE(html.contains("<title>")) << page.toStdString();
        bool toIndex = false;
        for (auto m = href.globalMatch(html); m.hasNext();) {
            const QString target = m.next().captured(1);
            if (target.startsWith("http")) continue;
            EXPECT_TRUE(QFile::exists(":/help/" + target)) << page.toStdString() << " -> " << target.toStdString();
            if (page == "index.html") linkedFromIndex.insert(target);
            toIndex = toIndex || target == "index.html";
        }
        if (page != "index.html") {
            EXPECT_TRUE(toIndex) << page.toStdString() << " has no way back";
        }
    }
    for (const QString& page : pages) {
        if (page != "index.html") {
            EXPECT_TRUE(linkedFromIndex.contains(page)) << page.toStdString();
        }
    }
}

}  // namespace
