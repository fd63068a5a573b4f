// Little-endian integers of 1 to 8 bytes in byte strings, for the files
// that store them: smsd's queue file and the store's journal.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include <string>

inline void PutLittle(std::string& out, uint64_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

// The caller has checked that `bytes` bytes follow `at`.
inline uint64_t GetLittle(const std::string& in, size_t at, int bytes)
{
    uint64_t value = 0;
    for (int i = 0; i < bytes; ++i) value |= static_cast<uint64_t>(static_cast<uint8_t>(in[at + i])) << (8 * i);
    return value;
}
