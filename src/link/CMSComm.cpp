#include "link/CMSComm.h"

#include <QFileInfo>

#include "link/CommandPacket.h"

CMSComm::CMSComm(QObject* parent) : QObject(parent) {
    connect(&serial_, &QSerialPort::readyRead, this, &CMSComm::onReadyRead);
    connect(&serial_, &QSerialPort::errorOccurred, this, &CMSComm::onError);
}

CMSComm::~CMSComm() { closePort(); }

void CMSComm::setDevice(int portNumber, const QString& path) { devices_[portNumber] = path; }

QString CMSComm::deviceFor(int portNumber) const {
    return devices_.value(portNumber, QStringLiteral("/dev/ttyUSB%1").arg(portNumber - 1));
}

bool CMSComm::isOpen() const { return serial_.isOpen(); }

void CMSComm::openPort(int portNumber) {
    port_ = portNumber;
    if (!serial_.isOpen()) {
        serial_.setPortName(deviceFor(portNumber));
        // "4800,n,8,1"
        serial_.setBaudRate(QSerialPort::Baud4800);
        serial_.setParity(QSerialPort::NoParity);
        serial_.setDataBits(QSerialPort::Data8);
        serial_.setStopBits(QSerialPort::OneStop);
        serial_.setFlowControl(QSerialPort::NoFlowControl);
        if (serial_.open(QIODevice::ReadWrite)) {
            serial_.clear(QSerialPort::Input);
            lastError_.clear();
        } else {
            const QString dev = serial_.portName();
            switch (serial_.error()) {
            case QSerialPort::DeviceNotFoundError:
                lastError_ = QStringLiteral("%1: no such device").arg(dev);
                break;
            case QSerialPort::PermissionError:
                lastError_ = QFileInfo::exists(dev)
                                 ? QStringLiteral("%1: permission denied or device busy (join the dialout group)").arg(dev)
                                 : QStringLiteral("%1: no such device").arg(dev);
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

void CMSComm::closePort() {
    if (serial_.isOpen()) {
        serial_.close();
        emit portStateChanged();
    }
}

void CMSComm::write(const uint8_t* data, std::size_t len) {
    output(QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(len)));
}

void CMSComm::output(const QByteArray& bytes) {
    if (tap) tap(false, bytes);
    if (serial_.isOpen()) serial_.write(bytes);
}

void CMSComm::discardInput() {
    if (serial_.isOpen()) serial_.clear(QSerialPort::Input);
}

QByteArray CMSComm::input() {
    QByteArray data = serial_.readAll();
    if (tap && !data.isEmpty()) tap(true, data);
    return data;
}

void CMSComm::onReadyRead() {
    if (serial_.bytesAvailable() >= rThreshold()) emit commEvent(kv::kEventReceive);
}

void CMSComm::onError(QSerialPort::SerialPortError e) {
    if (e == QSerialPort::NoError) return;
    if (e == QSerialPort::ResourceError) {
        // The device went away; the watchdog re-opens it.
        lastError_ = QStringLiteral("%1: device disconnected").arg(serial_.portName());
        serial_.clearError();
        serial_.close();
        emit portStateChanged();
        return;
    }
    serial_.clearError();
    emit commEvent(-1);
}
