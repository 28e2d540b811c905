#include "core/record/DataFile.h"

#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "core/io/ReadFile.h"
#include "core/record/LocalTime.h"

namespace kv {

static_assert(std::endian::native == std::endian::little, "the data file is little-endian");

namespace {

void putI32(std::string& out, int32_t v) {
    char b[4];
    std::memcpy(b, &v, 4);
    out.append(b, 4);
}

// Archive strings: a length below 255 is one byte; 0xFF then a 16-bit length;
// 0xFF, 0xFFFF then a 32-bit length.
void putString(std::string& out, const std::string& s) {
    const std::size_t n = s.size();
    if (n < 0xFF) {
        out.push_back(static_cast<char>(n));
    } else if (n < 0xFFFF) {
        out.push_back('\xFF');
        const uint16_t w = static_cast<uint16_t>(n);
        out.append(reinterpret_cast<const char*>(&w), 2);
    } else {
        out.append("\xFF\xFF\xFF", 3);
        putI32(out, static_cast<int32_t>(static_cast<uint32_t>(n)));
    }
    out.append(s);
}

class Reader {
public:
    Reader(const uint8_t* d, std::size_t n) : d_(d), n_(n) {}
    std::size_t pos() const { return pos_; }
    std::size_t left() const { return n_ - pos_; }
    bool bytes(void* dst, std::size_t k) {
        if (left() < k) return false;
        std::memcpy(dst, d_ + pos_, k);
        pos_ += k;
        return true;
    }
    bool u8(uint8_t& v) { return bytes(&v, 1); }
    bool i32(int32_t& v) { return bytes(&v, 4); }
    bool string(std::string& s) {
        uint8_t b = 0;
        if (!u8(b)) return false;
        uint64_t len = b;
        if (b == 0xFF) {
            uint16_t w = 0;
            if (!bytes(&w, 2)) return false;
            len = w;
            if (w == 0xFFFF) {
                uint32_t dw = 0;
                if (!bytes(&dw, 4)) return false;
                len = dw;
            }
        }
        if (left() < len) return false;
        s.assign(reinterpret_cast<const char*>(d_ + pos_), static_cast<std::size_t>(len));
        pos_ += static_cast<std::size_t>(len);
        return true;
    }

private:
    const uint8_t* d_;
    std::size_t n_;
    std::size_t pos_ = 0;
};

ReadResult truncated(std::size_t size, const char* field) {
    return {ReadError::Truncated, "The data file is incomplete: it ends after " + std::to_string(size) +
                                      " bytes, before its " + field + "."};
}

}  // namespace

void encodeDataFile(const RunRecord& rec, std::string& out) {
    const LoggedRun& r = rec.run;
    const int32_t n = std::clamp(r.count, 0, kMaxSamples);
    out.reserve(out.size() + dataFileSize(n) + r.unitText.size());
    putString(out, rec.tag);
    putI32(out, n);
    out.append(reinterpret_cast<const char*>(r.samples.data()),
               static_cast<std::size_t>(n) * kQuantities * sizeof(float));
    out.push_back(static_cast<char>(r.unitFlag));
    for (int32_t v : {r.year, r.month, r.day, r.hour, r.minute, r.second, r.interval}) putI32(out, v);
    putString(out, r.unitText);
    putI32(out, rec.yGain);
    putI32(out, rec.yOffset);
}

std::string encodeDataFile(const RunRecord& rec) {
    std::string out;
    encodeDataFile(rec, out);
    return out;
}

ReadResult parseDataFile(const uint8_t* data, std::size_t size, RunRecord& out) {
    Reader in(data, size);
    if (!in.string(out.tag)) return truncated(size, "tag");
    if (out.tag != kFileTag) return {ReadError::BadTag, kInvalidFormat};

    LoggedRun& r = out.run;
    int32_t n = 0;
    if (!in.i32(n)) return truncated(size, "sample count");
    if (n < 0 || n > kMaxSamples)
        return {ReadError::BadCount, "The data file claims " + std::to_string(n) +
                                         " samples; a run holds 0 to " + std::to_string(kMaxSamples) +
                                         " samples."};
    if (in.left() < static_cast<std::size_t>(n) * kBytesPerSample) return truncated(size, "last sample");
    r.count = n;
    in.bytes(r.samples.data(), static_cast<std::size_t>(n) * kBytesPerSample);

    if (!in.u8(r.unitFlag)) return truncated(size, "unit flag");
    for (int32_t* f : {&r.year, &r.month, &r.day, &r.hour, &r.minute, &r.second})
        if (!in.i32(*f)) return truncated(size, "start date and time");
    if (!in.i32(r.interval)) return truncated(size, "interval");
    if (!in.string(r.unitText)) return truncated(size, "unit text");
    if (!in.i32(out.yGain)) return truncated(size, "Y gain");
    if (!in.i32(out.yOffset)) return truncated(size, "Y offset");
    return {};
}

ReadResult checkStart(const LoggedRun& r) {
    const char* wrong = nullptr;
    int32_t value = 0;
    namespace ch = std::chrono;
    if (r.year < 1 || r.year > 9999) wrong = "year", value = r.year;
    else if (r.month < 1 || r.month > 12) wrong = "month", value = r.month;
    else if (!ch::year_month_day(ch::year(r.year), ch::month(static_cast<unsigned>(r.month)),
                                 ch::day(static_cast<unsigned>(std::clamp(r.day, 0, 255))))
                  .ok())
        wrong = "day", value = r.day;
    else if (r.hour < 0 || r.hour > 23) wrong = "hour", value = r.hour;
    else if (r.minute < 0 || r.minute > 59) wrong = "minute", value = r.minute;
    else if (r.second < 0 || r.second > 59) wrong = "second", value = r.second;
    if (!wrong) return {};
    char buf[160];
    std::snprintf(buf, sizeof buf, "The data file is damaged: its start %d-%02d-%02d %02d:%02d:%02d cannot exist (%s %d).",
                  r.year, r.month, r.day, r.hour, r.minute, r.second, wrong, value);
    return {ReadError::BadStart, buf};
}

std::string startNote(const LoggedRun& run) {
    const LocalInstant start = resolveLocal({run.year, run.month, run.day, run.hour, run.minute, run.second});
    if (!start.ambiguous) return {};
    char buf[96];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", run.year, run.month, run.day, run.hour, run.minute,
                  run.second);
    return std::string("Its start ") + buf +
           " falls in the hour repeated when the clocks went back; it is read as the earlier one, " +
           isoLocal(start.t) + ".";
}

ReadResult readDataFile(const std::string& path, RunRecord& out) {
    // A pipe with nobody writing reads as empty instead of waiting for ever.
    const int fd = openForReading(path);
    std::FILE* f = fd >= 0 ? ::fdopen(fd, "rb") : nullptr;
    if (!f) {
        const int err = errno;
        if (fd >= 0) ::close(fd);
        return {ReadError::Io, "The file cannot be opened: " + std::string(std::strerror(err)) + "."};
    }
    std::string buf;
    std::size_t got = 0;
    bool readError = false;
    // Read one byte past the limit to tell "too large" from "exactly at it".
    buf.resize(dataFileSize(kMaxSamples) + 256);
    for (;;) {
        got += std::fread(buf.data() + got, 1, buf.size() - got, f);
        if (got < buf.size()) {
            readError = std::ferror(f) != 0;
            break;
        }
        if (buf.size() > kMaxDataFileBytes) break;
        buf.resize(std::min(buf.size() * 2, kMaxDataFileBytes + 1));
    }
    const int err = errno;
    std::fclose(f);
    if (readError) return {ReadError::Io, "The file cannot be read: " + std::string(std::strerror(err)) + "."};
    if (got > kMaxDataFileBytes)
        return {ReadError::TooLarge, "The file is too large to be a data file."};
    const ReadResult parsed = parseDataFile(reinterpret_cast<const uint8_t*>(buf.data()), got, out);
    return parsed.ok() ? checkStart(out.run) : parsed;
}

void snapshotLiveRun(const SampleStore& doc, const RunState& run, RunRecord& out) {
    LoggedRun& r = out.run;
    out.tag = kFileTag;
    r.count = std::clamp(run.n, 0, kMaxSamples);
    for (int i = 0; i < r.count; ++i)
        for (int q = 0; q < kQuantities; ++q) r.samples[i * kQuantities + q] = doc.live[q][i];
    r.unitFlag = run.unitFlag;
    const LocalFields f = breakLocal(run.runStartTime);
    r.year = f.year;
    r.month = f.month;
    r.day = f.day;
    r.hour = f.hour;
    r.minute = f.minute;
    r.second = f.second;
    r.startInstant = run.runStartTime;
    r.interval = run.intervalMs / 1000;
    r.unitText = run.unitText;
    out.yGain = run.yGain;
    out.yOffset = run.yOffset;
}

void applyRecord(const RunRecord& rec, SampleStore& doc, RunState& run) {
    LoggedRun& d = doc.logged;
    const LoggedRun& s = rec.run;
    d.count = s.count;
    std::copy_n(s.samples.begin(), static_cast<std::size_t>(s.count) * kQuantities, d.samples.begin());
    d.interval = s.interval;
    d.unitFlag = s.unitFlag;
    d.year = s.year;
    d.month = s.month;
    d.day = s.day;
    d.hour = s.hour;
    d.minute = s.minute;
    d.second = s.second;
    d.unitText = s.unitText;
    run.loggerYGain = rec.yGain;
    run.loggerYOffset = rec.yOffset;
}

ReadResult loadDataFile(const std::string& path, SampleStore& doc, RunState& run) {
    auto rec = makeRunRecord();
    ReadResult res = readDataFile(path, *rec);
    if (res.ok()) applyRecord(*rec, doc, run);
    return res;
}

}  // namespace kv
