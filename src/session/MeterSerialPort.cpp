#include "session/MeterSerialPort.h"

#include <QFile>
#include <QFileInfo>
#include <unistd.h>

#include "core/link/CommandPacket.h"

MeterSerialPort::MeterSerialPort(QObject* parent) : QObject(parent) {
    connect(&serial_, &QSerialPort::readyRead, this, &MeterSerialPort::onReadyRead);
    connect(&serial_, &QSerialPort::errorOccurred, this, &MeterSerialPort::onError);
}

MeterSerialPort::~MeterSerialPort() { closePort(); }

void MeterSerialPort::setDevice(int portNumber, const QString& path) { devices_[portNumber] = path; }

QString MeterSerialPort::deviceFor(int portNumber) const {
    return devices_.value(portNumber, QStringLiteral("/dev/ttyUSB%1").arg(portNumber - 1));
}

void MeterSerialPort::setLineStates(int portNumber, bool dtr, bool rts) { lineStates_[portNumber] = {dtr, rts}; }

bool MeterSerialPort::isOpen() const { return serial_.isOpen(); }

void MeterSerialPort::openPort(int portNumber) {
    port_ = portNumber;
    if (!serial_.isOpen()) {
        serial_.setPortName(deviceFor(portNumber));
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
            const auto lines = lineStates_.value(portNumber, {true, true});
            serial_.setDataTerminalReady(lines.first);
            serial_.setRequestToSend(lines.second);
        }
        inOpen_ = false;
        if (opened) {
            lastError_.clear();
        } else {
            // The path as configured: portName() drops its "/dev/".
            const QString dev = deviceFor(portNumber);
            switch (serial_.error()) {
            case QSerialPort::DeviceNotFoundError:
                lastError_ = QStringLiteral("%1: no such device").arg(dev);
                break;
            case QSerialPort::PermissionError:
                // Qt reports a refused open and a port in use alike; the file's
                // access rights tell them apart.
                if (!QFileInfo::exists(dev))
                    lastError_ = QStringLiteral("%1: no such device").arg(dev);
                else if (::access(QFile::encodeName(dev).constData(), R_OK | W_OK) != 0)
                    lastError_ = QStringLiteral("%1: permission denied (join the dialout group: "
                                                "sudo adduser $USER dialout, then log in again)")
                                     .arg(dev);
                else
                    lastError_ = QStringLiteral("%1: device busy (another program is using it)").arg(dev);
                break;
            default:
                lastError_ = QStringLiteral("%1: %2").arg(dev, serial_.errorString());
            }
            serial_.clearError();
        }
        emit portStateChanged();
    }
    // The initialisation command goes out after every open, errors discarded.
    const kv::Command init = kv::makeCommand(kv::kInitPayload);
    write(init.data(), init.size());
}

void MeterSerialPort::closePort() {
    if (serial_.isOpen()) {
        serial_.close();
        emit portStateChanged();
    }
}

void MeterSerialPort::write(const uint8_t* data, std::size_t len) {
    output(QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(len)));
}

void MeterSerialPort::output(const QByteArray& bytes) {
    if (tap) tap(false, bytes);
    if (serial_.isOpen()) serial_.write(bytes);
}

void MeterSerialPort::discardInput() {
    if (serial_.isOpen()) serial_.clear(QSerialPort::Input);
}

QByteArray MeterSerialPort::input() {
    QByteArray data = serial_.readAll();
    if (tap && !data.isEmpty()) tap(true, data);
    return data;
}

void MeterSerialPort::onReadyRead() {
    if (serial_.bytesAvailable() >= rThreshold()) emit commEvent(kv::kEventReceive);
}

void MeterSerialPort::onError(QSerialPort::SerialPortError e) {
    if (e == QSerialPort::NoError) return;
    if (inOpen_) {
        if (serial_.isOpen()) serial_.clearError();
        return;
    }
    if (e == QSerialPort::ResourceError) {
        // The device went away; the watchdog re-opens it.
        lastError_ = QStringLiteral("%1: device disconnected").arg(deviceFor(port_));
        serial_.clearError();
        serial_.close();
        emit portStateChanged();
        return;
    }
    serial_.clearError();
    emit commEvent(-1);
}
