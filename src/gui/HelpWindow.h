#pragma once
// The manual in a window of its own: our HTML pages in a browser with Back,
// Forward and Contents. Found beside the program, else compiled in.
#include <QString>
#include <QStringList>
#include <QWidget>

class QTextBrowser;
class QToolButton;

class HelpWindow : public QWidget {
    Q_OBJECT
public:
    // Opens the manual at its first page, or raises the window already open.
    static void showManual(QWidget* parent);
    // The window showManual() opened, while it is open.
    static HelpWindow* openWindow();

    // Where the manual's first page is looked for, in order: the installed
    // pages, a help folder beside the program, the copy compiled in.
    static QStringList manualCandidates();
    // The first candidate that exists; empty when none does.
    static QString findManual(const QStringList& candidates);

    // `indexPath` empty: shows why there is no manual and where it was looked for.
    explicit HelpWindow(const QString& indexPath, QWidget* parent = nullptr,
                        const QStringList& searched = manualCandidates());

    bool hasManual() const { return !index_.isEmpty(); }
    QTextBrowser* browser() const { return browser_; }

private:
    void showMissing(const QStringList& searched);

    QString index_;
    QTextBrowser* browser_ = nullptr;
};
