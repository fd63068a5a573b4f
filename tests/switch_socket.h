// The switch protocol over a test's own blocking socket: the next whole
// frame, however the bytes arrive, and another account played by hand.
#pragma once
#include <winsock2.h>

#include "switch_frame.h"

#include <cstdlib>
#include <string>

// False when the stream breaks, a frame is malformed, or nothing comes for
// `waitSeconds`.
inline bool ReadSwitchFrame(SOCKET socket, switchproto::FrameReader& reader, switchproto::Frame& frame,
                            long waitSeconds)
{
    std::string error;
    for (;;) {
        const switchproto::FrameReader::Result result = reader.Next(frame, error);
        if (result == switchproto::FrameReader::kFrame) return true;
        if (result == switchproto::FrameReader::kBad) return false;
        fd_set set;
        FD_ZERO(&set);
        FD_SET(socket, &set);
        timeval wait = {waitSeconds, 0};
        if (select(0, &set, nullptr, nullptr, &wait) != 1) return false;
        char buffer[4096];
        const int n = recv(socket, buffer, sizeof buffer, 0);
        if (n <= 0) return false;
        reader.Feed(buffer, static_cast<size_t>(n));
    }
}

// The port of the server the tests' switch is pointed at (SMSUTIL_SWITCH_ADDR).
inline uint16_t SwitchPort()
{
    const char* address = getenv("SMSUTIL_SWITCH_ADDR");
    if (!address) return 0;
    const std::string text = address;
    return static_cast<uint16_t>(atoi(text.c_str() + text.rfind(':') + 1));
}

// An account played by hand over a socket of its own, as another client
// would: logs in, sends, and reads the texts that the server hands it.
class SwitchPeer {
public:
    ~SwitchPeer() { Close(); }
    bool LogIn(uint32_t account)
    {
        m_socket = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in to = {};
        to.sin_family = AF_INET;
        to.sin_port = htons(SwitchPort());
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (connect(m_socket, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) return false;
        std::string login;
        switchproto::PutU32(login, account);
        if (!Write(switchproto::Encode(switchproto::kLogin, login))) return false;
        return WaitFor(switchproto::kLoginOk);
    }
    // Sends one message as this account, immediately.
    bool Send(uint32_t sender, uint32_t recipient, const std::string& text)
    {
        std::string call, data;
        switchproto::PutU32(call, 1);
        switchproto::PutU32(call, recipient);
        switchproto::PutU16(call, 20061);
        switchproto::PutU32(data, 1);
        data += "2\x02" + std::to_string(sender) + ":\x02" + std::to_string(recipient) + "\x02" + text + "\x02" + "0";
        data += '\0';
        return Write(switchproto::Encode(switchproto::kCall, call) + switchproto::Encode(switchproto::kData, data));
    }
    // True once a frame with `opcode` came, those before it dropped.
    bool WaitFor(uint8_t opcode)
    {
        switchproto::Frame frame;
        while (Read(frame))
            if (frame.opcode == opcode) return true;
        return false;
    }
    // The next text handed to this account (the block's two leading bytes
    // dropped), or false when none came within the bound.
    bool NextText(std::string& text)
    {
        switchproto::Frame frame;
        while (Read(frame)) {
            if (frame.opcode != switchproto::kServerData || frame.payload.size() < 6) continue;
            text = frame.payload.substr(6);
            return true;
        }
        return false;
    }
    void Close()
    {
        if (m_socket != INVALID_SOCKET) closesocket(m_socket);
        m_socket = INVALID_SOCKET;
    }

private:
    bool Write(const std::string& bytes)
    {
        return send(m_socket, bytes.data(), static_cast<int>(bytes.size()), 0) == static_cast<int>(bytes.size());
    }
    bool Read(switchproto::Frame& frame) { return ReadSwitchFrame(m_socket, m_reader, frame, 15); }

    SOCKET m_socket = INVALID_SOCKET;
    switchproto::FrameReader m_reader;
};
