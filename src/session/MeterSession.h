#pragma once
// The meter session: the one owner of the meter link and the run. It holds the
// serial port, the link's three timers (acknowledgement, watchdog, sample
// interval), the run journal and the capture, runs the link and run rules of
// the core on them, and emits a signal for every change that something shows.
// The desktop windows and kv2047-tool's record and monitor are front-ends on
// it: they give commands and observe, nothing of the link is written twice.
#include <QBasicTimer>
#include <QObject>
#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

#include "core/Model.h"
#include "core/link/CommandStates.h"
#include "core/link/FrameDecoder.h"
#include "core/record/DataFile.h"
#include "core/record/RunJournal.h"

class MeterSerialPort;
namespace kv {
class CaptureFile;
}

class MeterSession : public QObject {
    Q_OBJECT
public:
    // Where front-ends differ in what the link does.
    struct Policy {
        // The desktop ends a run when the meter falls silent; unattended
        // recording keeps it armed and goes on when frames come back.
        bool silenceEndsRun = true;
    };

    static constexpr int kAckPeriodMs = 1000;
    static constexpr int kWatchdogPeriodMs = 3000;

    explicit MeterSession(QObject* parent = nullptr);
    ~MeterSession() override;

    // ---- set-up, before start() ----
    void setPolicy(const Policy& p) { policy_ = p; }
    // COMn -> device path; DTR and RTS as COMn sets them when it opens.
    void setDevice(int portNumber, const QString& path);
    void setLineStates(int portNumber, bool dtr, bool rts);
    // The run journal's folder.
    void setJournalDir(const QString& dir);
    // Appends every serial read and write to `path` from now on.
    bool startCapture(const QString& path, QString* error);

    // Opens the port (sending the initialisation command), sets the link's
    // start-up flags and starts the three timers.
    void start(int portNumber);
    // Closing the program: the timers stop and the port closes. The journal is
    // left as it is: finished by then when the run was saved or dropped, kept
    // for recovery when its files could not be written.
    void close();

    // ---- state ----
    // Read-only to everyone else: a change goes through the commands below,
    // which announce it.
    const kv::Model& model() const { return *model_; }
    bool isPortOpen() const;
    // Why the port is not open, in plain words; empty when it is.
    QString portError() const;
    QString deviceFor(int portNumber) const;
    bool isOffline() const { return model_->run.offline != 0; }
    bool isRunInProgress() const { return model_->link.runInProgress != 0; }
    int sampleCount() const { return model_->run.n; }
    const kv::RunJournal& journal() const { return *journal_; }
    // False once a capture write failed.
    bool captureGood() const;
    MeterSerialPort& port() { return *port_; }

    // ---- commands ----
    // COM1..COM16: close, open the chosen port, wait for its frames. The four
    // menu ports carry a check mark; the others none.
    void choosePort(int portNumber);
    // A confirmed Run: rate in seconds, count of samples. The run starts at
    // the next accepted frame.
    void run(int rate, int count);
    // The Run command ended without a confirmed dialog.
    void runSetupCancelled();
    void stop();
    // A meter key pressed or double-clicked on the meter picture (0..8).
    void pressKey(int key);
    void doubleClickKey(int key);
    // The real-time graph's trace switches and Y scale.
    void setTraces(const uint8_t (&pattern)[kv::kQuantities]);
    void setYScale(int offset, int gain);
    // Alarm limit q (AIR..RH), the high one when `high`: loaded as the
    // configuration stores it (not clamped), spun by the arrows, or typed as
    // the field's whole text. Each announces limitsChanged(), so the field
    // that asked shows the limit as it was kept ("35" becomes "35.0").
    void loadLimit(int q, bool high, const QString& text);
    void spinLimit(int q, bool high, int delta);
    void typeLimit(int q, bool high, const QString& text);
    // The run was saved: a run no longer recording needs its journal no more.
    void runSaved();
    // Marks the journal finished: the run's files are written, or the user
    // chose not to keep the run. Until then a run that ended stays recoverable.
    void finishJournal();

    // Open: reads a stored run into the logged run, for the logger viewer.
    kv::ReadResult openRun(const QString& path);

    // Interrupted recordings in the journal folder, newest first.
    std::vector<kv::JournalEntry> interruptedRuns() const;
    // Puts an interrupted run back into the live series; its journal is kept
    // until the run is saved. Not while a run is recording.
    bool recover(const kv::JournalEntry& entry, QString* error);
    // Sets an interrupted run aside so it is not offered again.
    bool setAside(const kv::JournalEntry& entry, QString* error);

signals:
    // A frame was accepted: readings, meter display texts, unit and battery.
    void frameAccepted(const kv::DecodedFrame& frame);
    // Sample n (1-based count) was committed to the run.
    void sampleCommitted(int n);
    // The meter fell silent (true) or its frames came back (false).
    void offlineChanged(bool offline);
    // A watchdog tick found the meter silent and re-opened the port.
    void meterSilent();
    void runArmed();
    void runStarted();
    void runEnded();
    // An interrupted run was put back into the live series.
    void runRestored();
    // A stored run was opened into the logged run.
    void runOpened();
    void alarmsChanged();
    // The port opened, closed or failed to open (portError() says why).
    void portStateChanged();
    void portChosen(int portNumber);
    // Enable or check states of the commands changed (Run, Stop, Save, ports).
    void commandStatesChanged();
    // Trace switches or Y scale.
    void displaySettingsChanged();
    // An alarm limit (value and text) was loaded, spun or typed.
    void limitsChanged();
    void journalError(const QString& text);
    // A capture write failed (a full disk): the capture ends there.
    void captureFailed();

protected:
    void timerEvent(QTimerEvent* e) override;

private:
    // What the signals compare before and after each event.
    struct Shown {
        uint8_t offline, runInProgress;
        kv::CommandStates commands;   // the model's part: no window's facts
        uint8_t alarmHigh[kv::kQuantities], alarmLow[kv::kQuantities];
        bool operator==(const Shown&) const = default;
    };
    Shown shown() const;
    // Emits the signals for what differs from `before`.
    void announce(const Shown& before);
    void onPortEvent(int code);
    void onSampleTick();
    void onWatchdogTick();
    void rearmSampleTimer();
    void checkCapture();

    Policy policy_;
    std::unique_ptr<kv::Model> model_;
    MeterSerialPort* port_;
    std::unique_ptr<kv::RunJournal> journal_;
    std::unique_ptr<kv::CaptureFile> capture_;
    QBasicTimer ackTimer_, watchdogTimer_, sampleTimer_;
    bool captureReported_ = false;
};
