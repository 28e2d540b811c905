#include "core/record/JournalFormat.h"

#include <algorithm>
#include <cstring>

namespace kv {

namespace {

constexpr char kMagic[8] = {'K', 'V', '2', '0', '4', '7', 'J', '1'};

void put32(std::string& s, uint32_t v) {
    for (int i = 0; i < 4; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
}
void put64(std::string& s, uint64_t v) {
    for (int i = 0; i < 8; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
}
void putFloat(std::string& s, float f) {
    uint32_t v;
    std::memcpy(&v, &f, 4);
    put32(s, v);
}
uint32_t get32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
uint64_t get64(const uint8_t* p) { return uint64_t(get32(p)) | uint64_t(get32(p + 4)) << 32; }
float getFloat(const uint8_t* p) {
    const uint32_t v = get32(p);
    float f;
    std::memcpy(&f, &v, 4);
    return f;
}

void sealWithCrc(std::string& s) {
    put32(s, crc32(reinterpret_cast<const uint8_t*>(s.data()), s.size()));
}

bool crcOk(const uint8_t* p, std::size_t len) { return crc32(p, len - 4) == get32(p + len - 4); }

}  // namespace

uint32_t crc32(const uint8_t* data, std::size_t len) {
    uint32_t c = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < len; ++i) {
        c ^= data[i];
        for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
    }
    return ~c;
}

std::string encodeJournalHeader(const JournalHeader& h) {
    std::string s(kMagic, sizeof kMagic);
    put64(s, static_cast<uint64_t>(h.startTime));
    put32(s, static_cast<uint32_t>(h.intervalMs));
    put32(s, static_cast<uint32_t>(h.countTarget));
    s += static_cast<char>(h.unitFlag);
    s += h.unitText;
    s.append(2, '\0');
    put32(s, static_cast<uint32_t>(h.yGain));
    put32(s, static_cast<uint32_t>(h.yOffset));
    put32(s, static_cast<uint32_t>(h.pid));
    s.append(20, '\0');
    sealWithCrc(s);
    return s;
}

std::string encodeJournalRecord(uint32_t index, const float q[kQuantities], uint8_t unitFlag, int32_t yGain,
                                int32_t yOffset) {
    std::string s;
    s.reserve(kJournalRecordBytes);
    put32(s, index);
    for (int i = 0; i < kQuantities; ++i) putFloat(s, q[i]);
    s += static_cast<char>(unitFlag);
    s += static_cast<char>(static_cast<int8_t>(std::clamp(yOffset, -128, 127)));
    const auto gain = static_cast<uint16_t>(static_cast<int16_t>(std::clamp(yGain, -32768, 32767)));
    s += static_cast<char>(gain & 0xFF);
    s += static_cast<char>(gain >> 8);
    sealWithCrc(s);
    return s;
}

std::string encodeJournalFinish() {
    const float none[kQuantities] = {};
    return encodeJournalRecord(kJournalFinishIndex, none, 0, 0, 0);
}

bool parseJournal(const uint8_t* data, std::size_t size, JournalContents& out, std::string* error) {
    out = JournalContents{};
    if (size < kJournalHeaderBytes || std::memcmp(data, kMagic, sizeof kMagic) != 0) {
        if (error) *error = "not a run journal";
        return false;
    }
    if (!crcOk(data, kJournalHeaderBytes)) {
        if (error) *error = "the journal's header is damaged";
        return false;
    }
    JournalHeader& h = out.header;
    h.startTime = static_cast<int64_t>(get64(data + 8));
    h.intervalMs = static_cast<int32_t>(get32(data + 16));
    h.countTarget = static_cast<int32_t>(get32(data + 20));
    h.unitFlag = data[24];
    h.unitText = static_cast<char>(data[25]);
    h.yGain = static_cast<int32_t>(get32(data + 28));
    h.yOffset = static_cast<int32_t>(get32(data + 32));
    h.pid = static_cast<int32_t>(get32(data + 36));
    out.unitFlag = h.unitFlag;
    out.yGain = h.yGain;
    out.yOffset = h.yOffset;

    std::size_t pos = kJournalHeaderBytes;
    while (pos + kJournalRecordBytes <= size) {
        const uint8_t* r = data + pos;
        if (!crcOk(r, kJournalRecordBytes)) break;
        const uint32_t index = get32(r);
        if (index == kJournalFinishIndex) {
            out.finished = true;
            pos += kJournalRecordBytes;
            break;
        }
        // The store holds kMaxSamples - 1 committed samples at most.
        if (index != static_cast<uint32_t>(out.count) || out.count >= kMaxSamples - 1) break;
        for (int q = 0; q < kQuantities; ++q) out.samples.push_back(getFloat(r + 4 + 4 * q));
        out.unitFlag = r[24];
        out.yOffset = static_cast<int8_t>(r[25]);
        out.yGain = static_cast<int16_t>(static_cast<uint16_t>(r[26] | r[27] << 8));
        ++out.count;
        pos += kJournalRecordBytes;
    }
    out.torn = !out.finished && pos != size;
    return true;
}

}  // namespace kv
