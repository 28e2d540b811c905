// The tool's surroundings on Windows: Ctrl+C, Ctrl+Break and the console
// closing (or the user logging off) stop record and monitor as SIGINT and
// SIGTERM do on Linux. The handler runs on a thread of its own: it hands the
// stop to the event loop. For a closing console Windows ends the process once
// the handler returns, so the handler waits there while the program saves its
// run and exits by itself (Windows allows it five seconds).
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#include <shellapi.h>

#include <cstdio>

#include <QCoreApplication>
#include <QMetaObject>

#include "StopSignals.h"

namespace {

std::function<void()> gStop;

BOOL WINAPI onConsoleEvent(DWORD type) {
    if (!QCoreApplication::instance()) return FALSE;
    QMetaObject::invokeMethod(QCoreApplication::instance(), [] { gStop(); }, Qt::QueuedConnection);
    if (type == CTRL_CLOSE_EVENT || type == CTRL_LOGOFF_EVENT || type == CTRL_SHUTDOWN_EVENT) ::Sleep(INFINITE);
    return TRUE;
}

}  // namespace

bool onStopSignals(std::function<void()> stop) {
    gStop = std::move(stop);
    if (::SetConsoleCtrlHandler(onConsoleEvent, TRUE)) return true;
    errno = EINVAL;
    return false;
}

// Windows gives a program without a console no standard streams at all; the
// C runtime then fails their use, and opens no file in their place. Text mode
// would write CR LF for each LF of an export. A stream with no file behind it
// has a negative number, which _setmode takes as an invalid parameter and
// ends the program.
void prepareStandardStreams() {
    for (std::FILE* f : {stdin, stdout, stderr})
        if (const int fd = ::_fileno(f); fd >= 0) ::_setmode(fd, _O_BINARY);
}

// A reader that goes away makes the write fail; there is no signal to ignore.
void ignoreBrokenPipe() {}

int readArguments(int, char**, QStringList* args) {
    int n = 0;
    wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &n);
    for (int i = 0; i < n; ++i) *args << QString::fromWCharArray(wide[i]);
    ::LocalFree(wide);
    return -1;
}
