// The serial line on Linux: QSerialPort.
#include <QFile>
#include <QFileInfo>
#include <QSerialPort>
#include <unistd.h>

#include "session/SerialLine.h"

namespace {

class QtSerialLine : public SerialLine {
public:
    QtSerialLine() {
        connect(&serial_, &QSerialPort::readyRead, this, &SerialLine::readyRead);
        connect(&serial_, &QSerialPort::errorOccurred, this, &QtSerialLine::onError);
    }

    bool open(const QString& dev, bool dtr, bool rts, QString* why) override {
        serial_.setPortName(dev);
        // "4800,n,8,1"
        serial_.setBaudRate(QSerialPort::Baud4800);
        serial_.setParity(QSerialPort::NoParity);
        serial_.setDataBits(QSerialPort::Data8);
        serial_.setStopBits(QSerialPort::OneStop);
        serial_.setFlowControl(QSerialPort::NoFlowControl);
        inOpen_ = true;
        const bool opened = serial_.open(QIODevice::ReadWrite);
        if (opened) {
            serial_.clear(QSerialPort::Input);
            serial_.setDataTerminalReady(dtr);
            serial_.setRequestToSend(rts);
        }
        inOpen_ = false;
        if (opened) return true;
        // The path as configured: portName() drops its "/dev/".
        switch (serial_.error()) {
        case QSerialPort::DeviceNotFoundError:
            *why = QStringLiteral("%1: no such device").arg(dev);
            break;
        case QSerialPort::PermissionError:
            // Qt reports a refused open and a port in use alike; the file's
            // access rights tell them apart.
            if (!QFileInfo::exists(dev))
                *why = QStringLiteral("%1: no such device").arg(dev);
            else if (::access(QFile::encodeName(dev).constData(), R_OK | W_OK) != 0)
                *why = QStringLiteral("%1: permission denied (join the dialout group: "
                                      "sudo adduser $USER dialout, then log in again)")
                           .arg(dev);
            else
                *why = QStringLiteral("%1: device busy (another program is using it)").arg(dev);
            break;
        default:
            *why = QStringLiteral("%1: %2").arg(dev, serial_.errorString());
        }
        serial_.clearError();
        return false;
    }
    void close() override { serial_.close(); }
    bool isOpen() const override { return serial_.isOpen(); }
    qint64 bytesAvailable() const override { return serial_.bytesAvailable(); }
    QByteArray readAll() override { return serial_.readAll(); }
    void write(const QByteArray& bytes) override { serial_.write(bytes); }
    void clearInput() override { serial_.clear(QSerialPort::Input); }

private:
    void onError(QSerialPort::SerialPortError e) {
        if (e == QSerialPort::NoError) return;
        // While opening, errors belong to the open (which says why it failed)
        // or to DTR and RTS (a port without modem lines, a pty, refuses them).
        if (inOpen_) {
            if (serial_.isOpen()) serial_.clearError();
            return;
        }
        serial_.clearError();
        if (e == QSerialPort::ResourceError) {
            serial_.close();
            emit lost();
            return;
        }
        emit failed();
    }

    QSerialPort serial_;
    bool inOpen_ = false;
};

}  // namespace

std::unique_ptr<SerialLine> SerialLine::create() { return std::make_unique<QtSerialLine>(); }
