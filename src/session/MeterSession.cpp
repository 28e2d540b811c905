#include "session/MeterSession.h"

#include <QFile>
#include <QTimerEvent>
#include <algorithm>
#include <ctime>

#include "core/link/LinkEngine.h"
#include "core/panels/MeterKeys.h"
#include "core/panels/ReadingSet.h"
#include "core/record/Capture.h"
#include "core/record/RunRestore.h"
#include "session/Folders.h"
#include "session/MeterSerialPort.h"

namespace {

QByteArray bytesOf(const kv::Command& c) {
    return QByteArray(reinterpret_cast<const char*>(c.data()), static_cast<qsizetype>(c.size()));
}

}  // namespace

MeterSession::MeterSession(QObject* parent)
    : QObject(parent),
      model_(std::make_unique<kv::Model>()),
      port_(new MeterSerialPort(this)),
      journal_(std::make_unique<kv::RunJournal>()),
      capture_(std::make_unique<kv::CaptureFile>()) {
    connect(port_, &MeterSerialPort::commEvent, this, &MeterSession::onPortEvent);
    connect(port_, &MeterSerialPort::portStateChanged, this, &MeterSession::portStateChanged);
}

MeterSession::~MeterSession() {
    // The port closes as it goes: nothing is announced to windows being torn down.
    port_->disconnect(this);
    blockSignals(true);
}

void MeterSession::setDevice(int portNumber, const QString& path) { port_->setDevice(portNumber, path); }

void MeterSession::setLineStates(int portNumber, bool dtr, bool rts) { port_->setLineStates(portNumber, dtr, rts); }

void MeterSession::setJournalDir(const QString& dir) { journal_->setDir(corePath(dir)); }

bool MeterSession::startCapture(const QString& path, QString* error) {
    std::string why;
    if (!capture_->open(corePath(path), &why)) {
        if (error) *error = QString::fromStdString(why);
        return false;
    }
    port_->tap = [this](bool incoming, const QByteArray& bytes) {
        // A write to a port that is not open never reached the line.
        if (incoming || port_->isOpen())
            capture_->record(incoming, reinterpret_cast<const uint8_t*>(bytes.constData()),
                             static_cast<std::size_t>(bytes.size()));
    };
    return true;
}

void MeterSession::start(int portNumber) {
    model_->link.port = portNumber;
    port_->openPort(portNumber);
    kv::initLinkAtStartup(*model_);
    ackTimer_.start(kAckPeriodMs, this);
    rearmSampleTimer();
    watchdogTimer_.start(kWatchdogPeriodMs, this);
    checkCapture();
}

void MeterSession::close() {
    ackTimer_.stop();
    watchdogTimer_.stop();
    sampleTimer_.stop();
    port_->closePort();
}

bool MeterSession::isPortOpen() const { return port_->isOpen(); }

QString MeterSession::portError() const { return port_->lastError(); }

QString MeterSession::deviceFor(int portNumber) const { return port_->deviceFor(portNumber); }

bool MeterSession::captureGood() const { return !capture_->isOpen() || capture_->good(); }

MeterSession::Shown MeterSession::shown() const {
    const kv::Model& m = *model_;
    Shown s{};
    s.offline = m.run.offline;
    s.runInProgress = m.link.runInProgress;
    s.commands = kv::commandStates(m, false, false);
    std::copy(std::begin(m.link.alarmHigh), std::end(m.link.alarmHigh), s.alarmHigh);
    std::copy(std::begin(m.link.alarmLow), std::end(m.link.alarmLow), s.alarmLow);
    return s;
}

void MeterSession::announce(const Shown& before) {
    const Shown now = shown();
    if (now == before) return;
    if (now.offline != before.offline) emit offlineChanged(now.offline != 0);
    if (!std::equal(std::begin(now.alarmHigh), std::end(now.alarmHigh), std::begin(before.alarmHigh)) ||
        !std::equal(std::begin(now.alarmLow), std::end(now.alarmLow), std::begin(before.alarmLow)))
        emit alarmsChanged();
    if (before.runInProgress && !now.runInProgress) emit runEnded();
    if (now.commands != before.commands) emit commandStatesChanged();
}

void MeterSession::onPortEvent(int code) {
    const Shown before = shown();
    const QByteArray data = code == kv::kEventReceive ? port_->input() : QByteArray();
    const kv::SerialEffects fx =
        kv::serialEvent(*model_, *port_, code, reinterpret_cast<const uint8_t*>(data.constData()),
                        static_cast<std::size_t>(data.size()), std::time(nullptr));
    if (fx.runStarted && model_->link.runInProgress && !journal_->begin(*model_))
        emit journalError(QString::fromStdString(journal_->error()));
    if (fx.runStarted) emit runStarted();
    if (fx.accepted) emit frameAccepted(fx.frame);
    checkCapture();
    announce(before);
}

void MeterSession::onSampleTick() {
    const Shown before = shown();
    // Outside a run a tick commits nothing: the timer rests until Run arms it
    // again, so an idle program does not wake for it.
    if (!model_->link.runInProgress) return sampleTimer_.stop();
    if (!kv::sampleTick(*model_)) return;
    // Into the journal before anything shows it.
    if (journal_->isOpen() && !journal_->adopted() && !journal_->append(*model_))
        emit journalError(QString::fromStdString(journal_->error()));
    emit sampleCommitted(model_->run.n);
    announce(before);
}

void MeterSession::onWatchdogTick() {
    const Shown before = shown();
    const bool silent =
        kv::watchdogTick(*model_, *port_, policy_.silenceEndsRun ? kv::Silence::EndsRun : kv::Silence::KeepsRun);
    if (silent) emit meterSilent();
    checkCapture();
    announce(before);
}

void MeterSession::timerEvent(QTimerEvent* e) {
    if (e->timerId() == ackTimer_.timerId()) {
        kv::ackTick(*model_, *port_);
        checkCapture();
    } else if (e->timerId() == sampleTimer_.timerId()) {
        onSampleTick();
    } else if (e->timerId() == watchdogTimer_.timerId()) {
        onWatchdogTick();
    } else {
        QObject::timerEvent(e);
    }
}

void MeterSession::rearmSampleTimer() {
    const int period = model_->run.intervalMs > 0 ? model_->run.intervalMs : 1000;
    sampleTimer_.start(period, this);
}

void MeterSession::checkCapture() {
    if (captureReported_ || captureGood()) return;
    captureReported_ = true;
    emit captureFailed();
}

void MeterSession::choosePort(int portNumber) {
    const Shown before = shown();
    kv::changePort(*model_, *port_, portNumber);
    for (int i = 0; i < 4; ++i) model_->link.comCheck[i] = (i + 1 == portNumber) ? 1 : 0;
    emit portChosen(portNumber);
    checkCapture();
    announce(before);
}

void MeterSession::run(int rate, int count) {
    const Shown before = shown();
    kv::applyRunSettings(*model_, kv::clampRate(rate), count);
    kv::finishRunCommand(*model_);
    rearmSampleTimer();
    emit runArmed();
    announce(before);
}

void MeterSession::runSetupCancelled() {
    const Shown before = shown();
    kv::finishRunCommand(*model_);
    rearmSampleTimer();
    announce(before);
}

void MeterSession::stop() {
    const Shown before = shown();
    kv::stopRun(*model_);
    announce(before);
}

void MeterSession::pressKey(int key) {
    if (key < 0 || key >= kv::kMeterKeyCount) return;
    // Sent whatever the link's state: the port takes or drops it.
    port_->output(bytesOf(kv::pressCommand(kv::kMeterKeys[key])));
    checkCapture();
}

void MeterSession::doubleClickKey(int key) {
    if (key < 0 || key >= kv::kMeterKeyCount) return;
    if (const auto c = kv::doubleClickCommand(kv::kMeterKeys[key])) port_->output(bytesOf(*c));
    checkCapture();
}

void MeterSession::setTraces(const uint8_t (&pattern)[kv::kQuantities]) {
    std::copy(std::begin(pattern), std::end(pattern), model_->run.traces);
    emit displaySettingsChanged();
}

void MeterSession::setYScale(int offset, int gain) {
    model_->run.yOffset = offset;
    model_->run.yGain = gain;
    emit displaySettingsChanged();
}

void MeterSession::loadLimit(int q, bool high, const QString& text) {
    if (q < 0 || q >= kv::kQuantities) return;
    kv::loadLimitText(model_->readings, q, high, text.toStdString());
    emit limitsChanged();
}

void MeterSession::spinLimit(int q, bool high, int delta) {
    if (q < 0 || q >= kv::kQuantities) return;
    kv::spinLimit(model_->readings, q, high, static_cast<float>(delta));
    emit limitsChanged();
}

void MeterSession::typeLimit(int q, bool high, const QString& text) {
    if (q < 0 || q >= kv::kQuantities) return;
    kv::typeLimit(model_->readings, q, high, text.toStdString());
    emit limitsChanged();
}

void MeterSession::runSaved() {
    // A run still recording keeps its journal: the samples after this save need it.
    if (!model_->link.runInProgress) journal_->finish();
}

void MeterSession::finishJournal() { journal_->finish(); }

kv::ReadResult MeterSession::openRun(const QString& path) {
    const kv::ReadResult r = kv::loadDataFile(corePath(path), *model_->doc, model_->run);
    if (r.ok()) emit runOpened();
    return r;
}

std::vector<kv::JournalEntry> MeterSession::interruptedRuns() const {
    return kv::findUnfinishedJournals(journal_->dir());
}

bool MeterSession::recover(const kv::JournalEntry& entry, QString* error) {
    // A run under way is not replaced by an old one.
    if (model_->link.runInProgress) return false;
    const Shown before = shown();
    kv::JournalContents j;
    if (!journal_->adopt(entry.path, &j)) {
        if (error) *error = QString::fromStdString(journal_->error());
        return false;
    }
    kv::restoreJournal(j, *model_);
    emit runRestored();
    announce(before);
    return true;
}

bool MeterSession::setAside(const kv::JournalEntry& entry, QString* error) {
    std::string why;
    if (!kv::setJournalAside(entry.path, &why).empty()) return true;
    if (error) *error = QString::fromStdString(why);
    return false;
}
