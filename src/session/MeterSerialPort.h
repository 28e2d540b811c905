#pragma once
// The serial control: the platform's serial line behind the operations the
// program relies on (port number, "4800,n,8,1", an event once 46 bytes wait,
// reads of all waiting bytes, discard, open/close, writes of byte arrays).
#include <QByteArray>
#include <QMap>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>

#include "core/link/LinkEngine.h"

class SerialLine;

class MeterSerialPort : public QObject, public kv::PortIO {
    Q_OBJECT
public:
    explicit MeterSerialPort(QObject* parent = nullptr);
    ~MeterSerialPort() override;

    // COMn -> device path; the default is /dev/ttyUSB<n-1> (the port COMn on Windows).
    void setDevice(int portNumber, const QString& path);
    QString deviceFor(int portNumber) const;
    // DTR and RTS as COMn sets them when it opens (some meter cables take their
    // power from them); both on unless set otherwise.
    void setLineStates(int portNumber, bool dtr, bool rts);

    // kv::PortIO
    bool isOpen() const override;
    void openPort(int portNumber) override;
    void closePort() override;
    void write(const uint8_t* data, std::size_t len) override;
    void discardInput() override;

    void output(const QByteArray& bytes);
    QByteArray input();            // all waiting bytes
    int rThreshold() const { return 46; }
    // Why the last open failed, in plain words; empty when it is open.
    QString lastError() const { return lastError_; }
    int portNumber() const { return port_; }

    // Every read and write passes through here when set (captures).
    std::function<void(bool incoming, const QByteArray&)> tap;

signals:
    // Raised once at least 46 bytes wait (code 2), or on an error (other codes).
    void commEvent(int code);
    void portStateChanged();

private:
    void onReadyRead();
    void onLost();

    std::unique_ptr<SerialLine> line_;
    QMap<int, QString> devices_;
    QMap<int, QPair<bool, bool>> lineStates_;   // port -> DTR, RTS
    int port_ = 1;
    QString lastError_;
};
