#include "gui/HelpWindow.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QPointer>
#include <QShortcut>
#include <QStyle>
#include <QTextBrowser>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include "gui/Placement.h"

namespace {

constexpr const char* kCompiledIndex = ":/help/index.html";

QPointer<HelpWindow>& theWindow() {
    static QPointer<HelpWindow> w;
    return w;
}

QUrl urlFor(const QString& path) {
    if (path.startsWith(":/")) return QUrl("qrc" + path);
    return QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath());
}

QToolButton* navButton(QWidget* parent, QStyle::StandardPixmap icon, const QString& text, const QString& tip) {
    auto* b = new QToolButton(parent);
    b->setIcon(parent->style()->standardIcon(icon));
    b->setText(text);
    b->setToolTip(tip);
    b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    b->setAutoRaise(true);
    return b;
}

}  // namespace

QStringList HelpWindow::manualCandidates() {
    const QString appDir = QCoreApplication::applicationDirPath();
    return {QDir::cleanPath(appDir + "/../share/kv2047/help/index.html"),
            QDir::cleanPath(appDir + "/help/index.html"), QString::fromLatin1(kCompiledIndex)};
}

QString HelpWindow::findManual(const QStringList& candidates) {
    for (const QString& c : candidates) {
        const QFileInfo fi(c);
        if (fi.exists() && fi.isFile()) return c;
    }
    return {};
}

HelpWindow* HelpWindow::openWindow() { return theWindow().data(); }

void HelpWindow::showManual(QWidget* parent) {
    QPointer<HelpWindow>& w = theWindow();
    if (!w) {
        const QStringList searched = manualCandidates();
        w = new HelpWindow(findManual(searched), parent, searched);
        w->setAttribute(Qt::WA_DeleteOnClose);
        if (parent) kv::placeBeside(w, parent);
    }
    w->show();
    w->raise();
    w->activateWindow();
}

HelpWindow::HelpWindow(const QString& indexPath, QWidget* parent, const QStringList& searched)
    : QWidget(parent, Qt::Window), index_(indexPath) {
    setWindowTitle("KV2047 Help");
    resize(760, 620);

    browser_ = new QTextBrowser(this);
    browser_->setObjectName("browser");
    browser_->setOpenExternalLinks(true);

    auto* back = navButton(this, QStyle::SP_ArrowBack, "Back", "Back (Alt+Left)");
    auto* forward = navButton(this, QStyle::SP_ArrowForward, "Forward", "Forward (Alt+Right)");
    auto* home = navButton(this, QStyle::SP_DirHomeIcon, "Contents", "The manual's first page (Alt+Home)");
    back->setObjectName("back");
    forward->setObjectName("forward");
    home->setObjectName("home");
    back->setShortcut(QKeySequence::Back);
    forward->setShortcut(QKeySequence::Forward);
    home->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Home));
    back->setEnabled(false);
    forward->setEnabled(false);
    connect(back, &QToolButton::clicked, browser_, &QTextBrowser::backward);
    connect(forward, &QToolButton::clicked, browser_, &QTextBrowser::forward);
    connect(home, &QToolButton::clicked, browser_, &QTextBrowser::home);
    connect(browser_, &QTextBrowser::backwardAvailable, back, &QToolButton::setEnabled);
    connect(browser_, &QTextBrowser::forwardAvailable, forward, &QToolButton::setEnabled);
    auto* closeKey = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(closeKey, &QShortcut::activated, this, &QWidget::close);

    auto* bar = new QHBoxLayout;
    bar->setContentsMargins(4, 4, 4, 0);
    bar->addWidget(back);
    bar->addWidget(forward);
    bar->addWidget(home);
    bar->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(bar);
    layout->addWidget(browser_, 1);

    if (hasManual()) {
        browser_->setSource(urlFor(index_));
        // A page that failed to load leaves the browser empty: say so rather than show nothing.
        if (browser_->document()->isEmpty()) {
            index_.clear();
            showMissing(searched);
        }
    } else {
        home->setEnabled(false);
        showMissing(searched);
    }
}

void HelpWindow::showMissing(const QStringList& searched) {
    QString places;
    for (const QString& s : searched) {
        const QString where = s.startsWith(":/") ? QStringLiteral("the copy built into the program")
                                                 : QDir::toNativeSeparators(s).toHtmlEscaped();
        places += "<li>" + where + "</li>";
    }
    browser_->setHtml("<h2>The manual could not be found</h2>"
                      "<p>KV2047 looked for its manual in these places and found it in none of them:</p>"
                      "<ul>" + places + "</ul>"
                      "<p>Reinstalling the program puts the manual back. Everything else in the "
                      "program works without it.</p>");
}
