#pragma once
// The serial line under MeterSerialPort, one file per platform: QSerialPort on
// Linux (SerialLineQt.cpp); plain Win32 calls on a reader thread on Windows
// (SerialLineWin.cpp), since QSerialPort's reads depend on overlapped events
// that not every serial driver (nor Wine) signals. Either way bytes wait in a
// buffer, readyRead() says more came, and lost() that the device went away.
#include <QByteArray>
#include <QObject>
#include <QString>
#include <memory>

class SerialLine : public QObject {
    Q_OBJECT
public:
    // The platform's line.
    static std::unique_ptr<SerialLine> create();
    ~SerialLine() override = default;

    // Opens `device` at 4800 baud, no parity, 8 data bits, 1 stop bit, no flow
    // control, with DTR and RTS as given, and drops what waited before. False
    // with "<device>: <why, in plain words>" in *why.
    virtual bool open(const QString& device, bool dtr, bool rts, QString* why) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    virtual qint64 bytesAvailable() const = 0;
    virtual QByteArray readAll() = 0;
    virtual void write(const QByteArray& bytes) = 0;
    virtual void clearInput() = 0;

signals:
    void readyRead();
    // The device went away (a cable pulled); the line is closed.
    void lost();
    // Any other error while open.
    void failed();
};
