#include "switch_frame.h"

namespace switchproto {

void PutU16(std::string& out, uint16_t value)
{
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>(value >> 8);
}

void PutU32(std::string& out, uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8) out += static_cast<char>((value >> shift) & 0xFF);
}

uint16_t GetU16(const std::string& in, size_t at)
{
    return static_cast<uint16_t>(static_cast<uint8_t>(in[at]) | static_cast<uint8_t>(in[at + 1]) << 8);
}

uint32_t GetU32(const std::string& in, size_t at)
{
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i) value = value << 8 | static_cast<uint8_t>(in[at + i]);
    return value;
}

std::string Encode(uint8_t opcode, const std::string& payload)
{
    std::string out;
    PutU32(out, static_cast<uint32_t>(payload.size() + 1));
    out += static_cast<char>(opcode);
    out += payload;
    return out;
}

size_t MinimumPayload(uint8_t opcode, bool& known)
{
    known = true;
    switch (opcode) {
    case kLogin: return 4;
    case kLoginOk: return 0;
    case kCall: return 10;
    case kCallResult: return 6;
    case kData: case kServerData: return 4;
    case kBye: return 4;
    case kIncoming: return 10;
    default: known = false; return 0;
    }
}

FrameReader::Result FrameReader::Next(Frame& frame, std::string& error)
{
    if (m_buffer.size() < 4) return kNeedMore;
    const uint32_t length = GetU32(m_buffer, 0);
    if (length < 1 || length > kMaxFrame) {
        error = "frame length " + std::to_string(length) + " outside 1.." + std::to_string(kMaxFrame);
        return kBad;
    }
    if (m_buffer.size() < 4 + static_cast<size_t>(length)) return kNeedMore;
    const uint8_t opcode = static_cast<uint8_t>(m_buffer[4]);
    bool known = false;
    const size_t minimum = MinimumPayload(opcode, known);
    if (!known) {
        error = "unknown opcode " + std::to_string(opcode);
        return kBad;
    }
    if (length - 1 < minimum) {
        error = "short payload for opcode " + std::to_string(opcode);
        return kBad;
    }
    frame.opcode = opcode;
    frame.payload.assign(m_buffer, 5, length - 1);
    m_buffer.erase(0, 4 + static_cast<size_t>(length));
    return kFrame;
}

} // namespace switchproto
