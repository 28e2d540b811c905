#include "core/record/RunJournal.h"

#include <unistd.h>   // read, write, close (io.h's on Windows)

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "core/Model.h"
#include "core/io/AtomicFile.h"
#include "core/io/ReadFile.h"
#include "core/platform/System.h"
#include "core/record/LocalTime.h"

namespace kv {

namespace {

std::string errnoText(const std::string& what) { return what + ": " + std::strerror(errno); }

bool isJournalName(const std::filesystem::path& p) {
    const std::string name = sys::utf8Of(p.filename());
    return name.size() > std::strlen(kJournalSuffix) && name[0] != '.' && p.extension() == kJournalSuffix;
}

// Opens a journal for reading and takes its lock without waiting. -1 when it
// cannot be opened, is no regular file (a pipe named *.kvj would stall the
// start of a run) or a running program holds it.
int openUnheld(const std::string& path) {
    const int fd = openRegularFile(path, nullptr);
    if (fd < 0) return -1;
    if (!sys::tryLockFile(fd)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// More than a full run's journal cannot be ours: reading stops there.
constexpr std::size_t kMaxJournalBytes = kJournalHeaderBytes + kJournalRecordBytes * (kMaxSamples + 2);

bool readFd(int fd, std::string& out) { return readBounded(fd, kMaxJournalBytes, &out); }

bool writeFd(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

std::string stampForName(std::time_t t) { return formatLocal(t, "%Y%m%d-%H%M%S"); }

}  // namespace

bool readJournal(const std::string& path, JournalContents& out, std::string* error) {
    std::string why;
    const int fd = openRegularFile(path, &why);
    if (fd < 0) {
        if (error) *error = path + ": " + why;
        return false;
    }
    std::string bytes;
    const bool ok = readFd(fd, bytes);
    ::close(fd);
    if (!ok) {
        if (error) *error = errnoText(path);
        return false;
    }
    return parseJournal(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), out, error);
}

std::string journalDirFor(const std::string& besideConfig) {
    if (!besideConfig.empty()) return besideConfig;
    if (const char* s = std::getenv("XDG_STATE_HOME"); s && *s) return std::string(s) + "/kv2047";
    if (std::string h = sys::homeFolder(); !h.empty()) {
        while (h.size() > 1 && h.back() == '/') h.pop_back();
        return (h == "/" ? std::string() : h) + "/.local/state/kv2047";
    }
    return ".";
}

std::vector<JournalEntry> findUnfinishedJournals(const std::string& dir) {
    std::vector<JournalEntry> found;
    std::error_code ec;
    std::filesystem::directory_iterator it(sys::fsPath(dir), ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        if (!isJournalName(it->path()) || !it->is_regular_file(ec)) continue;
        const std::string path = sys::utf8Of(it->path());
        const int fd = openUnheld(path);
        if (fd < 0) continue;
        std::string bytes;
        JournalContents j;
        const bool good = readFd(fd, bytes) &&
                          parseJournal(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), j, nullptr);
        // A run killed before its first sample left nothing to recover.
        if (good && !j.finished && j.count == 0) sys::removeFile(path);
        ::close(fd);
        if (!good || j.finished || j.count == 0) continue;
        found.push_back({path, j.header, j.count});
    }
    std::sort(found.begin(), found.end(), [](const JournalEntry& a, const JournalEntry& b) {
        return a.header.startTime != b.header.startTime ? a.header.startTime > b.header.startTime
                                                        : a.path > b.path;
    });
    return found;
}

std::string setJournalAside(const std::string& path, std::string* error) {
    std::string target = path + kJournalAsideSuffix;
    for (int k = 1; k < 1000 && sys::exists(target); ++k)
        target = path + "." + std::to_string(k) + kJournalAsideSuffix;
    if (!sys::renameFile(path, target)) {
        if (error) *error = errnoText(path);
        return {};
    }
    sys::syncFolder(sys::utf8Of(sys::fsPath(path).parent_path()));
    return target;
}

RunJournal::RunJournal(std::string dir) : dir_(std::move(dir)) {}

RunJournal::~RunJournal() { close(); }

void RunJournal::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    adopted_ = false;
}

bool RunJournal::writeAll(const std::string& bytes) {
    if (!writeFd(fd_, bytes) || !sys::syncFile(fd_)) {
        error_ = errnoText(path_);
        // Cut what part of the bytes got in (a full disk takes some): a torn
        // record would hide every record and the finish marker after it.
        sys::truncateFile(fd_, goodBytes_);
        return false;
    }
    goodBytes_ += static_cast<off_t>(bytes.size());
    return true;
}

bool RunJournal::begin(const Model& m) {
    ignoreFileSizeSignal();
    finish();
    error_.clear();
    std::error_code ec;
    std::filesystem::create_directories(sys::fsPath(dir_), ec);

    // Journals finished earlier are no longer needed; running programs hold theirs.
    std::filesystem::directory_iterator it(sys::fsPath(dir_), ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        if (!isJournalName(it->path())) continue;
        const std::string p = sys::utf8Of(it->path());
        const int fd = openUnheld(p);
        if (fd < 0) continue;
        std::string bytes;
        JournalContents j;
        if (readFd(fd, bytes) &&
            parseJournal(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), j, nullptr) && j.finished)
            sys::removeFile(p);
        ::close(fd);
    }

    JournalHeader h;
    h.startTime = static_cast<int64_t>(m.run.runStartTime);
    h.intervalMs = m.run.intervalMs;
    h.countTarget = m.run.countTarget;
    h.unitFlag = m.run.unitFlag;
    h.unitText = m.run.unitFlag ? 'F' : 'C';
    h.yGain = m.run.yGain;
    h.yOffset = m.run.yOffset;
    h.pid = static_cast<int32_t>(sys::processId());

    // Written and locked under a hidden name first, so no other program ever
    // sees it without a header or without its lock.
    const std::string base = sys::utf8Of(sys::fsPath(dir_) / sys::fsPath("run-" + stampForName(m.run.runStartTime) +
                                                                          "-" + std::to_string(sys::processId())));
    std::string tmp;
    const int fd = sys::createUnique(dir_, ".journal-", &tmp);
    if (fd < 0) {
        error_ = errnoText(dir_);
        return false;
    }
    sys::lockFile(fd);
    fd_ = fd;
    path_ = tmp;
    goodBytes_ = 0;
    if (!writeAll(encodeJournalHeader(h))) {
        sys::removeFile(tmp);
        close();
        return false;
    }
    std::string target = base + kJournalSuffix;
    for (int k = 1; k < 1000 && sys::exists(target); ++k)
        target = base + "-" + std::to_string(k) + kJournalSuffix;
    if (!sys::renameFile(tmp, target)) {
        error_ = errnoText(target);
        sys::removeFile(tmp);
        close();
        return false;
    }
    sys::syncFolder(dir_);
    path_ = target;
    next_ = 0;
    return true;
}

bool RunJournal::append(const Model& m) {
    if (fd_ < 0 || adopted_) return false;
    const int n = std::clamp(m.run.n, 0, kMaxSamples - 1);
    std::string bytes;
    // Normally exactly one new sample; catch up if a commit was missed.
    for (int i = static_cast<int>(next_); i < n; ++i) {
        float q[kQuantities];
        for (int k = 0; k < kQuantities; ++k) q[k] = m.doc->live[k][i];
        bytes += encodeJournalRecord(static_cast<uint32_t>(i), q, m.run.unitFlag, m.run.yGain, m.run.yOffset);
    }
    if (bytes.empty()) return true;
    if (!writeAll(bytes)) return false;
    next_ = static_cast<uint32_t>(n);
    return true;
}

bool RunJournal::finish() {
    if (fd_ < 0) return true;
    const bool ok = writeAll(encodeJournalFinish());
    // A journal that cannot be marked finished (its disk still full) would be
    // offered next time as an interrupted run, holding a stale part of a run
    // that ended or was saved: it goes instead.
    if (!ok) sys::removeFile(path_);
    close();
    return ok;
}

bool RunJournal::adopt(const std::string& path, JournalContents* contents) {
    finish();
    error_.clear();
    std::string why;
    const int fd = openRegularFile(path, &why, OpenFor::Appending);
    if (fd < 0) {
        error_ = path + ": " + why;
        return false;
    }
    if (!sys::tryLockFile(fd)) {
        error_ = path + ": in use by another program";
        ::close(fd);
        return false;
    }
    JournalContents j;
    if (!readJournal(path, j, &error_) || j.finished) {
        if (j.finished) error_ = path + ": the run was finished";
        ::close(fd);
        return false;
    }
    // Cut a torn tail so the finish marker follows the last good record.
    if (!sys::truncateFile(fd, static_cast<int64_t>(kJournalHeaderBytes + kJournalRecordBytes * j.count))) {
        error_ = errnoText(path);
        ::close(fd);
        return false;
    }
    fd_ = fd;
    path_ = path;
    goodBytes_ = static_cast<off_t>(kJournalHeaderBytes + kJournalRecordBytes * j.count);
    adopted_ = true;
    next_ = static_cast<uint32_t>(j.count);
    if (contents) *contents = std::move(j);
    return true;
}

}  // namespace kv
