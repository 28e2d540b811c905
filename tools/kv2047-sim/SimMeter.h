#pragma once
// The simulated meter without its pseudo-terminal: what it measures, which
// frames it sends, and how it answers the commands the program writes.
#include <cstddef>
#include <cstdint>
#include <istream>
#include <random>
#include <string>
#include <vector>

#include "core/link/FrameBuilder.h"

namespace kvsim {

struct SimOptions {
    int periodMs = 500;
    bool fahrenheit = false;
    bool typeK = false;
    bool noKir = false;
    bool over = false;
    bool under = false;
    bool irIdle = false;
    bool lowBattery = false;
    bool burst = false;
    long silenceAfter = -1;  // frames; -1 = never
    long frames = -1;        // frames before exit; -1 = run until signalled
    long corruptEvery = 0;   // 0 = never
    uint32_t seed = 1;
    std::string logPath;
    bool logTime = false;
    std::string replayPath;    // send a capture's reads instead of frames
    bool periodGiven = false;  // replay every period instead of at the captured pace
    bool version = false;      // --version was asked for
};

// Parses the command line (QCommandLineParser). On failure returns false with
// a message in `error`; `help` is set when --help was asked for.
bool parseOptions(int argc, char** argv, SimOptions& opt, bool& help, std::string& error);
std::string usageText();

// The reads of a capture and the pause before each (-1: one period).
struct Replay {
    std::vector<std::vector<uint8_t>> reads;
    std::vector<long> gapMs;
};

// Reads a capture (kv2047 --capture, or one hex read per line) named `name`.
// Returns 0, or an exit status with the message in `error`: 1 when it cannot
// be read, 2 when it is refused (no read in it, a line that is not hex or is
// longer than 64 KiB, a time stamp going back or jumping more than an hour
// within a capture session), naming the line.
int loadReplay(std::istream& in, const std::string& name, Replay& r, std::string& error);

// One thing the program wrote: an 11-byte command, the acknowledgement byte, or
// bytes that are neither.
struct Received {
    enum Kind { Command, Ack, Raw } kind;
    std::vector<uint8_t> bytes;
};

// Splits the byte stream from the program into commands. A command may arrive
// split over several reads; bytes that cannot start or continue one are raw.
class CommandParser {
public:
    void feed(const uint8_t* data, std::size_t len, std::vector<Received>& out);
    // A command left unfinished (the program wrote a short one) is given up as raw.
    void flush(std::vector<Received>& out);
    bool pending() const { return !packet_.empty(); }

private:
    void step(uint8_t b, std::vector<Received>& out);
    void emitRaw(std::vector<Received>& out);

    std::vector<uint8_t> packet_;
    std::vector<uint8_t> raw_;
};

// "FF AA 55 63 ..." - the log's form of a command.
std::string hexLine(const std::vector<uint8_t>& bytes);

class SimMeter {
public:
    explicit SimMeter(const SimOptions& opt);

    // Fields of the next frame; advances the simulated time by one period.
    kv::FrameFields nextFrame();
    // Applies a command from the program. Returns a short description of what it did.
    std::string apply(const Received& r);

    bool poweredOff() const { return poweredOff_; }
    bool fahrenheit() const { return fahrenheit_; }
    bool backlight() const { return backlight_; }
    bool holdUpper() const { return holdUpper_; }
    bool holdLower() const { return holdLower_; }
    bool linked() const { return linked_; }

private:
    struct Measured { float air, wb, dp, kir, rh; };
    Measured measure();
    float shown(float celsius) const { return fahrenheit_ ? celsius * 1.8f + 32.0f : celsius; }

    SimOptions opt_;
    std::mt19937 rng_;
    std::normal_distribution<float> noise_{0.0f, 1.0f};
    long frameNo_ = 0;

    bool fahrenheit_;
    bool backlight_ = false;
    bool poweredOff_ = false;
    bool linked_ = false;
    bool holdUpper_ = false, holdLower_ = false;
    float heldDisplay_[3] = {};
    int maxMinUpper_ = 0, maxMinLower_ = 0;   // 0 off, 1 MAX, 2 MIN
    float extUpper_[2] = {}, extLower_[2] = {};  // running max/min since the mode began (deg C)
    bool freshIrPending_ = true;  // the first frame, and the one after IRT, carries a fresh IR reading
};

}  // namespace kvsim
