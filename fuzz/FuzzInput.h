#pragma once
// Reads a fuzz input from the front: op codes, lengths and byte runs. Seeds are
// written in the same layout (SeedWriter.cpp), so they stay meaningful.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace kvfuzz {

class Input {
public:
    Input(const uint8_t* data, std::size_t size) : d_(data), n_(size) {}
    bool empty() const { return pos_ >= n_; }
    std::size_t left() const { return n_ - pos_; }
    uint8_t u8() { return empty() ? 0 : d_[pos_++]; }
    uint16_t u16() {
        const uint16_t lo = u8();
        return static_cast<uint16_t>(lo | u8() << 8);
    }
    // Up to `want` bytes; fewer at the end of the input.
    const uint8_t* take(std::size_t want, std::size_t& got) {
        got = std::min(want, left());
        const uint8_t* p = d_ + pos_;
        pos_ += got;
        return p;
    }

private:
    const uint8_t* d_;
    std::size_t n_;
    std::size_t pos_ = 0;
};

}  // namespace kvfuzz

// A broken invariant is a finding: report it and stop like a crash.
#define KVFUZZ_CHECK(cond)                                                                      \
    do {                                                                                        \
        if (!(cond)) {                                                                          \
            std::fprintf(stderr, "%s:%d: invariant broken: %s\n", __FILE__, __LINE__, #cond);   \
            std::abort();                                                                       \
        }                                                                                       \
    } while (0)
