// Framing of the switch protocol: u32 length (little-endian), then that many
// bytes, an opcode first. Plain C++, shared by the server and its tests.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace switchproto {

enum Opcode : uint8_t {
    kLogin = 0x01,
    kCall = 0x02,
    kData = 0x03,
    kBye = 0x04,
    kLoginOk = 0x81,
    kCallResult = 0x82,
    kServerData = 0x83,
    kIncoming = 0x85,
};

const uint32_t kMaxFrame = 70000;
const uint16_t kSmsType = 20061;

struct Frame {
    uint8_t opcode = 0;
    std::string payload; // the bytes after the opcode
};

// Appends little-endian integers to a byte string.
void PutU16(std::string& out, uint16_t value);
void PutU32(std::string& out, uint32_t value);
uint16_t GetU16(const std::string& in, size_t at);
uint32_t GetU32(const std::string& in, size_t at);

// A whole frame, length prefix included.
std::string Encode(uint8_t opcode, const std::string& payload);

// The smallest payload each opcode needs; 0 for an opcode that is not known.
// `known` tells the two apart.
size_t MinimumPayload(uint8_t opcode, bool& known);

// Collects bytes from a stream and cuts them into frames.
class FrameReader {
public:
    enum Result { kNeedMore, kFrame, kBad };
    void Feed(const char* data, size_t size) { m_buffer.append(data, size); }
    // kBad: a length outside 1..70000, an unknown opcode or a short payload;
    // the connection is to be closed and `error` says why.
    Result Next(Frame& frame, std::string& error);

private:
    std::string m_buffer;
};

} // namespace switchproto
