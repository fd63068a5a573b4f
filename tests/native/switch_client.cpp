#include "switch_client.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

using namespace switchproto;

SwitchClient::SwitchClient(uint16_t port)
{
    m_socket = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(m_socket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close(m_socket);
        m_socket = -1;
        return;
    }
    // Frames are small and answered one by one: no waiting on Nagle.
    const int on = 1;
    setsockopt(m_socket, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

SwitchClient::~SwitchClient()
{
    if (m_socket >= 0) close(m_socket);
}

void SwitchClient::SendRaw(const std::string& bytes)
{
    size_t sent = 0;
    while (m_socket >= 0 && sent < bytes.size()) {
        const ssize_t n = send(m_socket, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) return;
        sent += static_cast<size_t>(n);
    }
}

bool SwitchClient::Read(Frame& frame, int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        std::string error;
        const FrameReader::Result result = m_reader.Next(frame, error);
        if (result == FrameReader::kFrame) return true;
        if (result == FrameReader::kBad || m_closed || m_socket < 0) return false;
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        if (left <= 0) return false;
        pollfd ready = {m_socket, POLLIN, 0};
        if (poll(&ready, 1, static_cast<int>(left)) <= 0) return false;
        char buffer[65536];
        const ssize_t n = recv(m_socket, buffer, sizeof buffer, 0);
        if (n <= 0) {
            m_closed = true;
            continue;
        }
        m_reader.Feed(buffer, static_cast<size_t>(n));
    }
}

bool SwitchClient::WaitClosed(int timeoutMs)
{
    Frame ignored;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!m_closed && std::chrono::steady_clock::now() < deadline) Read(ignored, 100);
    return m_closed;
}

bool SwitchClient::Login(uint32_t account)
{
    std::string payload;
    PutU32(payload, account);
    Send(kLogin, payload);
    Frame frame;
    return Read(frame) && frame.opcode == kLoginOk;
}

void SwitchClient::Call(uint32_t sid, uint32_t callee, uint16_t type)
{
    std::string payload;
    PutU32(payload, sid);
    PutU32(payload, callee);
    PutU16(payload, type);
    Send(kCall, payload);
}

void SwitchClient::Data(uint32_t sid, const std::string& bytes)
{
    std::string payload;
    PutU32(payload, sid);
    Send(kData, payload + bytes);
}
