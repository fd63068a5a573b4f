// A blocking switch-protocol client for tests, with timeouts on every read.
#pragma once
#include "switch_frame.h"

#include <cstdint>
#include <string>

class SwitchClient {
public:
    explicit SwitchClient(uint16_t port);
    ~SwitchClient();
    SwitchClient(const SwitchClient&) = delete;
    SwitchClient& operator=(const SwitchClient&) = delete;

    void SendRaw(const std::string& bytes);
    void Send(uint8_t opcode, const std::string& payload) { SendRaw(switchproto::Encode(opcode, payload)); }
    // True with a frame; false when nothing came within the time or the
    // connection closed.
    bool Read(switchproto::Frame& frame, int timeoutMs = 2000);
    // True when the server closed the connection within the time.
    bool WaitClosed(int timeoutMs = 2000);

    // LOGIN, expecting LOGIN_OK.
    bool Login(uint32_t account);
    void Call(uint32_t sid, uint32_t callee, uint16_t type);
    void Data(uint32_t sid, const std::string& bytes);

private:
    int m_socket = -1;
    bool m_closed = false;
    switchproto::FrameReader m_reader;
};
