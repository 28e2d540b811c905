// kv2047-tool decode's input: lines of hexadecimal bytes, each one serial read,
// decoded in order with one decoder memory, as the tool does.
#include <string_view>
#include <vector>

#include "FuzzInput.h"
#include "core/link/FrameDecoder.h"
#include "core/link/HexLine.h"
#include "core/link/MeterDisplay.h"

namespace {

bool isHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string_view all(reinterpret_cast<const char*>(data), size);
    kv::DecoderMemory memory;
    kv::MeterDisplay display;
    std::vector<uint8_t> bytes;
    std::size_t start = 0;
    while (start <= all.size()) {
        std::size_t end = all.find('\n', start);
        if (end == std::string_view::npos) end = all.size();
        const std::string_view line = all.substr(start, end - start);
        start = end + 1;

        const kv::HexLineResult r = kv::parseHexLine(line, bytes);
        switch (r.kind) {
        case kv::HexLineKind::Skip:
            KVFUZZ_CHECK(r.column == 0);
            break;
        case kv::HexLineKind::Malformed:
            // The column points into the line, at a character that cannot be where it is.
            KVFUZZ_CHECK(r.column >= 1 && r.column <= line.size());
            KVFUZZ_CHECK(!isHexDigit(line[r.column - 1]) || r.column == line.size() ||
                         !isHexDigit(line[r.column]));
            break;
        case kv::HexLineKind::Bytes:
            // A plain hex line holds at least one byte; a capture line's read may be empty.
            KVFUZZ_CHECK(r.column == 0 && (!bytes.empty() || r.stamp >= 0) && bytes.size() * 2 <= line.size());
            if (kv::frameAccepted(bytes.data(), bytes.size())) {
                const kv::DecodedFrame f = kv::decodeFrame(bytes.data(), memory, display);
                KVFUZZ_CHECK(f.unitText && f.battery);
            }
            break;
        }
    }
    return 0;
}
