#pragma once
// Characters a numeric entry field lets through: digits, the decimal point,
// the minus sign and backspace. Where and how often they occur is the owner's
// business (it reads the text with parseLimitText).
namespace kv {

inline bool numEntryAccepts(char32_t c) { return (c >= U'0' && c <= U'9') || c == U'.' || c == U'-' || c == 8; }

}  // namespace kv
