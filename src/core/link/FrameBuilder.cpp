#include "core/link/FrameBuilder.h"

#include <cstring>

namespace kv {

namespace {

void putFloat(uint8_t* p, float v) {
    uint32_t u;
    std::memcpy(&u, &v, sizeof u);
    // Little-endian on the wire whatever the host is.
    p[0] = uint8_t(u);
    p[1] = uint8_t(u >> 8);
    p[2] = uint8_t(u >> 16);
    p[3] = uint8_t(u >> 24);
}

}  // namespace

void buildFrame(const FrameFields& f, uint8_t* out) {
    std::memset(out, 0, kFrameSize);
    out[0] = 0xAA;
    out[1] = 'a';
    out[2] = 'd';
    out[3] = 'j';
    out[4] = 'g';
    out[6] = f.rangeCode;
    out[7] = f.flagsA;
    out[8] = f.flagsB;
    putFloat(out + 9, f.air);
    putFloat(out + 13, f.wb);
    putFloat(out + 17, f.dp);
    putFloat(out + 21, f.rh);   // the frame carries RH before K/IR
    putFloat(out + 25, f.kir);
    putFloat(out + 29, f.display1);
    putFloat(out + 33, f.display2);
    putFloat(out + 37, f.display3);
    out[44] = 'g';
}

FrameBytes buildFrame(const FrameFields& f) {
    FrameBytes b;
    buildFrame(f, b.data());
    return b;
}

}  // namespace kv
