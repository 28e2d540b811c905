#include "session/MeterSerialPort.h"


#include "core/config/Settings.h"
#include "core/link/CommandPacket.h"
#include "session/SerialLine.h"

MeterSerialPort::MeterSerialPort(QObject* parent) : QObject(parent), line_(SerialLine::create()) {
    connect(line_.get(), &SerialLine::readyRead, this, &MeterSerialPort::onReadyRead);
    connect(line_.get(), &SerialLine::lost, this, &MeterSerialPort::onLost);
    connect(line_.get(), &SerialLine::failed, this, [this] { emit commEvent(-1); });
}

MeterSerialPort::~MeterSerialPort() { closePort(); }

void MeterSerialPort::setDevice(int portNumber, const QString& path) { devices_[portNumber] = path; }

QString MeterSerialPort::deviceFor(int portNumber) const {
    return devices_.value(portNumber, QString::fromStdString(kv::defaultDeviceFor(portNumber)));
}

void MeterSerialPort::setLineStates(int portNumber, bool dtr, bool rts) { lineStates_[portNumber] = {dtr, rts}; }

bool MeterSerialPort::isOpen() const { return line_->isOpen(); }

void MeterSerialPort::openPort(int portNumber) {
    port_ = portNumber;
    if (!line_->isOpen()) {
        const auto lines = lineStates_.value(portNumber, {true, true});
        QString why;
        if (line_->open(deviceFor(portNumber), lines.first, lines.second, &why)) lastError_.clear();
        else lastError_ = why;
        emit portStateChanged();
    }
    // The initialisation command goes out after every open, errors discarded.
    const kv::Command init = kv::makeCommand(kv::kInitPayload);
    write(init.data(), init.size());
}

void MeterSerialPort::closePort() {
    if (line_->isOpen()) {
        line_->close();
        emit portStateChanged();
    }
}

void MeterSerialPort::write(const uint8_t* data, std::size_t len) {
    output(QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(len)));
}

void MeterSerialPort::output(const QByteArray& bytes) {
    if (tap) tap(false, bytes);
    if (line_->isOpen()) line_->write(bytes);
}

void MeterSerialPort::discardInput() {
    if (line_->isOpen()) line_->clearInput();
}

QByteArray MeterSerialPort::input() {
    QByteArray data = line_->readAll();
    if (tap && !data.isEmpty()) tap(true, data);
    return data;
}

void MeterSerialPort::onReadyRead() {
    if (line_->bytesAvailable() >= rThreshold()) emit commEvent(kv::kEventReceive);
}

void MeterSerialPort::onLost() {
    // The device went away; the watchdog re-opens it.
    lastError_ = QStringLiteral("%1: device disconnected").arg(deviceFor(port_));
    emit portStateChanged();
}
