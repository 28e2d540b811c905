// kv2047-tool decode [FILE]: serial reads as hex lines in, one JSON object per read out.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "CommandLine.h"
#include "Commands.h"
#include "Messages.h"
#include "ValueText.h"
#include "core/link/FrameDecoder.h"
#include "core/link/HexLine.h"
#include "core/link/LineReader.h"
#include "core/link/MeterDisplay.h"

namespace {

void field(std::string& s, const char* key) {
    s += ",\"";
    s += key;
    s += "\":";
}

std::string acceptedJson(const kv::DecodedFrame& f, const kv::MeterDisplay& m) {
    std::string s = "{\"accepted\":true";
    for (int q = 0; q < 5; ++q) {
        field(s, kQuantityKeys[q]);
        appendJsonFloat(s, f.q[q]);
    }
    const std::pair<const char*, const std::string*> texts[] = {
        {"upper", &m.upper},           {"upper2", &m.upper2},         {"lower", &m.lower},
        {"unit", &m.unitLetter},       {"maxmin_upper", &m.maxminUpper}, {"maxmin_lower", &m.maxminLower},
        {"hold_upper", &m.holdUpper},  {"hold_lower", &m.holdLower},  {"rec_upper", &m.recUpper},
        {"rec_lower", &m.recLower},    {"link", &m.link},             {"derived", &m.derived},
        {"probe", &m.probe},
    };
    for (const auto& [key, text] : texts) {
        field(s, key);
        appendJsonString(s, *text);
    }
    field(s, "battery");
    appendJsonString(s, f.battery);
    field(s, "backlight");
    s += m.backlight ? '1' : '0';
    s += "}\n";
    return s;
}

}  // namespace

int cmdDecode(const QStringList& args) {
    CommandLine cli("kv2047-tool decode", "[FILE]",
                    "Reads one serial read per line as hexadecimal bytes (spaces optional; blank\n"
                    "lines and lines starting with # are skipped) from FILE or standard input,\n"
                    "decodes them in order and prints one JSON object per read.\n"
                    "Captures of kv2047 --capture are read as they are: the timestamp and RX\n"
                    "(read from the meter) lead each line, and TX lines (written to it) are skipped.\n"
                    "A line longer than 64 KiB is refused.");
    cli.addArgument("FILE", "Hex reads or a capture; - or none: standard input.", "[FILE]");
    if (const int status = cli.parse(args, 0, 1); status >= 0) return status;
    const std::string arg = cli.arguments() ? cli.argument(0) : std::string();
    const char* path = cli.arguments() ? arg.c_str() : nullptr;

    std::ifstream file;
    std::istream* in = &std::cin;
    std::string name = "<stdin>";
    if (path && std::strcmp(path, "-") != 0) {
        file.open(path, std::ios::binary);
        if (!file) {
            toolMessage("cannot open '%s': %s", path, std::strerror(errno));
            return 1;
        }
        in = &file;
        name = path;
    }

    // One decoder for the whole input: its memory carries from read to read.
    kv::DecoderMemory memory;
    kv::MeterDisplay display;
    std::vector<uint8_t> bytes;
    kv::LineReader lines(*in);
    std::string_view line;
    for (kv::LineReader::Status st; (st = lines.next(line)) != kv::LineReader::Status::End;) {
        const long lineNo = lines.lineNumber();
        if (st == kv::LineReader::Status::TooLong) {
            toolMessage("%s:%ld: line longer than %zu bytes; not a capture", name.c_str(), lineNo, kv::kMaxLineLength);
            return 2;
        }
        const kv::HexLineResult r = kv::parseHexLine(line, bytes);
        if (r.kind == kv::HexLineKind::Skip) continue;
        if (r.kind == kv::HexLineKind::Malformed) {
            toolMessage("%s:%ld:%zu: malformed hex (expected pairs of hex digits)", name.c_str(), lineNo, r.column);
            return 2;
        }
        if (!kv::frameAccepted(bytes.data(), bytes.size())) {
            std::fputs("{\"accepted\":false}\n", stdout);
            continue;
        }
        const kv::DecodedFrame f = kv::decodeFrame(bytes.data(), memory, display);
        const std::string json = acceptedJson(f, display);
        std::fwrite(json.data(), 1, json.size(), stdout);
    }
    if (in->bad()) {
        toolMessage("read error on %s", name.c_str());
        return 1;
    }
    // An earlier flush may have failed already (a full disk): the error flag says so.
    return cli.flushOutput();
}
