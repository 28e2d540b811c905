#pragma once
// The meter link and run control as plain functions over the model: the serial
// event, the one-second acknowledgement, the link watchdog, Run, Stop and the
// sample commit. The meter session runs the timers and calls these, for the
// desktop and the headless recorder alike.
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <vector>

#include "core/Model.h"

namespace kv {

// What the engine needs of a serial port.
class PortIO {
public:
    virtual ~PortIO() = default;
    virtual bool isOpen() const = 0;
    // Opens the current port with the meter's settings (errors discarded) and
    // sends the initialisation command.
    virtual void openPort(int portNumber) = 0;
    virtual void closePort() = 0;
    virtual void write(const uint8_t* data, std::size_t len) = 0;
    virtual void discardInput() = 0;
};

// What a serial event did that the model does not show by itself (an end of
// run or an alarm shows in the model's flags).
struct SerialEffects {
    bool accepted = false;
    bool runStarted = false;   // n is back to 0: a new run begins
    DecodedFrame frame{};      // what an accepted frame held
};

constexpr int kEventReceive = 2;

// The serial event: `code` is the control's event code, `data` the whole receive buffer.
SerialEffects serialEvent(Model& m, PortIO& port, int code, const uint8_t* data, std::size_t len,
                          std::time_t now);

// The one-second acknowledgement: sends 0x11 when a frame was accepted since the last tick.
bool ackTick(Model& m, PortIO& port);

// What a silent meter does to a run: the desktop ends it; unattended
// recording keeps it (armed or recording) and goes on when frames come back.
enum class Silence { EndsRun, KeepsRun };

// The three-second link watchdog. Returns true when it found the meter silent.
bool watchdogTick(Model& m, PortIO& port, Silence silence = Silence::EndsRun);

// Run settings clamped to what the store and the arrows allow.
int clampRate(int rate);     // 1..3600
int clampCount(int count);   // 1000..10000

// Applies a confirmed run settings dialog.
void applyRunSettings(Model& m, int rate, int count);
// What the Run command does after the dialog: a run wanted sets has-run-data.
void finishRunCommand(Model& m);
void stopRun(Model& m);

// Sample timer tick. Returns true when a sample was committed.
bool sampleTick(Model& m);

// Port choice: close, set the port, open, and mark its waiting flag.
void changePort(Model& m, PortIO& port, int portNumber);

// Sets the link flags to their start-up values for the configured port.
void initLinkAtStartup(Model& m);

// Formats local time with a strftime pattern: kv::formatLocal under its older name.
std::string formatLocalTime(std::time_t t, const char* pattern);

}  // namespace kv
