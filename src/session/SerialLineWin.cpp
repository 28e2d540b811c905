// The serial line on Windows: a handle opened with CreateFileW, set with
// SetCommState and SetCommTimeouts, and one I/O thread that does the blocking
// ReadFile calls (and the writes, between them: a synchronous handle does one
// call at a time) so the program's thread never waits on the port. The same
// code runs under Wine, where the tests run it against the simulated meter.
#include <windows.h>

#include <QMetaObject>
#include <QMutex>
#include <QMutexLocker>
#include <atomic>
#include <thread>

#include "session/SerialLine.h"

namespace {

// A read returns 20 ms after the last byte, or after 50 ms without any: the
// thread looks at what is to be written at least that often.
constexpr DWORD kIntervalMs = 20, kTotalMs = 50;
constexpr DWORD kWriteTimeoutMs = 1000;

QString systemText(DWORD error) {
    wchar_t* text = nullptr;
    const DWORD n = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                         FORMAT_MESSAGE_IGNORE_INSERTS,
                                     nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    QString s = n ? QString::fromWCharArray(text, static_cast<int>(n)).trimmed() : QStringLiteral("error %1").arg(error);
    if (text) ::LocalFree(text);
    while (s.endsWith('.')) s.chop(1);
    return s;
}

// "COM12" must be named \\.\COM12; a path the user gave in full stays as it is.
std::wstring devicePath(const QString& dev) {
    const QString d = dev.startsWith(QLatin1String("\\\\")) ? dev : QStringLiteral("\\\\.\\") + dev;
    return d.toStdWString();
}

class WinSerialLine : public SerialLine {
public:
    ~WinSerialLine() override { close(); }

    bool open(const QString& dev, bool dtr, bool rts, QString* why) override {
        close();
        const HANDLE h = ::CreateFileW(devicePath(dev).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                       OPEN_EXISTING, 0, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            const DWORD e = ::GetLastError();
            if (e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND)
                *why = QStringLiteral("%1: no such device").arg(dev);
            else if (e == ERROR_ACCESS_DENIED || e == ERROR_SHARING_VIOLATION)
                *why = QStringLiteral("%1: device busy (another program is using it)").arg(dev);
            else
                *why = QStringLiteral("%1: %2").arg(dev, systemText(e));
            return false;
        }
        // "4800,n,8,1", no flow control; DTR and RTS as the port sets them.
        DCB dcb{};
        dcb.DCBlength = sizeof dcb;
        ::GetCommState(h, &dcb);
        dcb.BaudRate = CBR_4800;
        dcb.ByteSize = 8;
        dcb.Parity = NOPARITY;
        dcb.StopBits = ONESTOPBIT;
        dcb.fBinary = TRUE;
        dcb.fParity = FALSE;
        dcb.fOutxCtsFlow = dcb.fOutxDsrFlow = FALSE;
        dcb.fDsrSensitivity = FALSE;
        dcb.fOutX = dcb.fInX = FALSE;
        dcb.fNull = FALSE;
        dcb.fAbortOnError = FALSE;
        dcb.fDtrControl = dtr ? DTR_CONTROL_ENABLE : DTR_CONTROL_DISABLE;
        dcb.fRtsControl = rts ? RTS_CONTROL_ENABLE : RTS_CONTROL_DISABLE;
        if (!::SetCommState(h, &dcb)) {
            *why = QStringLiteral("%1: %2").arg(dev, systemText(::GetLastError()));
            ::CloseHandle(h);
            return false;
        }
        COMMTIMEOUTS t{};
        t.ReadIntervalTimeout = kIntervalMs;
        t.ReadTotalTimeoutConstant = kTotalMs;
        t.WriteTotalTimeoutConstant = kWriteTimeoutMs;
        ::SetCommTimeouts(h, &t);
        // A port without modem lines refuses them; that is no reason to fail.
        ::EscapeCommFunction(h, dtr ? SETDTR : CLRDTR);
        ::EscapeCommFunction(h, rts ? SETRTS : CLRRTS);
        ::PurgeComm(h, PURGE_RXCLEAR | PURGE_TXCLEAR);

        handle_ = h;
        stop_ = false;
        purge_ = false;
        const unsigned generation = ++generation_;
        io_ = std::thread([this, h, generation] { ioLoop(h, generation); });
        return true;
    }

    void close() override {
        if (handle_ == INVALID_HANDLE_VALUE) return;
        stop_ = true;
        if (io_.joinable()) io_.join();
        ::CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
        QMutexLocker lock(&mutex_);
        in_.clear();
        out_.clear();
    }

    bool isOpen() const override { return handle_ != INVALID_HANDLE_VALUE; }

    qint64 bytesAvailable() const override {
        QMutexLocker lock(&mutex_);
        return in_.size();
    }

    QByteArray readAll() override {
        QMutexLocker lock(&mutex_);
        QByteArray data;
        data.swap(in_);
        return data;
    }

    void write(const QByteArray& bytes) override {
        if (!isOpen()) return;
        QMutexLocker lock(&mutex_);
        out_ += bytes;
    }

    void clearInput() override {
        QMutexLocker lock(&mutex_);
        in_.clear();
        purge_ = true;
    }

private:
    // The I/O thread: writes what waits, reads what comes, until close().
    void ioLoop(HANDLE h, unsigned generation) {
        char buf[4096];
        while (!stop_) {
            QByteArray out;
            {
                QMutexLocker lock(&mutex_);
                out.swap(out_);
            }
            if (purge_.exchange(false)) ::PurgeComm(h, PURGE_RXCLEAR);
            for (qsizetype done = 0; done < out.size();) {
                DWORD n = 0;
                if (!::WriteFile(h, out.constData() + done, static_cast<DWORD>(out.size() - done), &n, nullptr) ||
                    n == 0)
                    break;   // as a serial write: what did not go is gone
                done += n;
            }
            DWORD n = 0;
            if (!::ReadFile(h, buf, sizeof buf, &n, nullptr)) {
                if (!stop_) post(generation, [this] { gone(); });
                return;
            }
            if (n == 0) continue;
            {
                QMutexLocker lock(&mutex_);
                in_.append(buf, n);
            }
            post(generation, [this] { emit readyRead(); });
        }
    }

    // Runs `f` on the program's thread, unless the line was closed or
    // re-opened since.
    template <class F>
    void post(unsigned generation, F f) {
        QMetaObject::invokeMethod(
            this,
            [this, generation, f] {
                if (generation == generation_ && isOpen()) f();
            },
            Qt::QueuedConnection);
    }

    void gone() {
        close();
        emit lost();
    }

    HANDLE handle_ = INVALID_HANDLE_VALUE;
    std::thread io_;
    std::atomic<bool> stop_{false}, purge_{false};
    unsigned generation_ = 0;
    mutable QMutex mutex_;
    QByteArray in_, out_;
};

}  // namespace

std::unique_ptr<SerialLine> SerialLine::create() { return std::make_unique<WinSerialLine>(); }
