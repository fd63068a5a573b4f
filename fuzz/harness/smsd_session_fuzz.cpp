// smsd as a switch peer sees it: a fresh server on loopback per input, and
// one connection after another, each sending its bytes and then closing its
// side. The input holds the connections' bytes separated by "\xFE\xFE\xFE\xFE".
// Whatever the server writes back must be whole, well-formed server frames,
// and the server must close each connection once the peer has.
#include "check.h"
#include "sms_server.h"
#include "switch_frame.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

using namespace switchproto;

namespace {

const char kConnectionMark[] = "\xFE\xFE\xFE\xFE";
const size_t kMaxConnections = 8;
const time_t kNow = 1700000000; // the server's clock, fixed so runs repeat

// Sends `bytes`, closes the sending side and reads until the server closes.
std::string Converse(uint16_t port, const std::string& bytes)
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    Check(fd >= 0, "no socket");
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    Check(connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0, "cannot connect");
    timeval timeout = {10, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    // The server may close before it has read everything: a failed send is
    // an answer like any other.
    size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        sent += static_cast<size_t>(n);
    }
    shutdown(fd, SHUT_WR);
    std::string answer;
    char buffer[4096];
    for (;;) {
        const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n == 0) break;
        // The fuzzing engine's timer interrupts a read that has a time-out.
        if (n < 0 && errno == EINTR) continue;
        Check(n > 0 || errno == ECONNRESET, "the server did not close a connection its peer had closed");
        if (n < 0) break;
        answer.append(buffer, static_cast<size_t>(n));
    }
    close(fd);
    return answer;
}

void CheckAnswer(const std::string& answer)
{
    FrameReader reader;
    reader.Feed(answer.data(), answer.size());
    size_t consumed = 0;
    for (;;) {
        Frame frame;
        std::string error;
        const FrameReader::Result result = reader.Next(frame, error);
        if (result == FrameReader::kNeedMore) break;
        Check(result == FrameReader::kFrame, "the server wrote a malformed frame");
        Check(frame.opcode == kLoginOk || frame.opcode == kCallResult || frame.opcode == kServerData ||
                  frame.opcode == kIncoming,
              "the server wrote a client's opcode");
        consumed += 5 + frame.payload.size();
    }
    Check(consumed == answer.size(), "the server wrote part of a frame");
}

const AccountDirectory& Directory()
{
    static const AccountDirectory directory = AccountDirectory::BuiltIn();
    return directory;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string input(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> connections;
    for (size_t at = 0;;) {
        const size_t mark = input.find(kConnectionMark, at, 4);
        connections.push_back(input.substr(at, mark == std::string::npos ? std::string::npos : mark - at));
        if (mark == std::string::npos || connections.size() == kMaxConnections) break;
        at = mark + 4;
    }

    std::ostringstream log;
    std::atomic<time_t> now(kNow);
    smsd::ServerOptions options;
    options.listenHost = "127.0.0.1";
    options.listenPort = 0;
    options.orderBase = "http://127.0.0.1:1/order";
    options.clock = [&now] { return now.load(); };
    options.log = &log;
    smsd::SmsServer server(Directory(), options);
    std::string error;
    Check(server.Listen(error), "the server cannot listen");
    std::thread serving([&server] { server.Run(); });

    for (const std::string& bytes : connections) CheckAnswer(Converse(server.Port(), bytes));

    // Whatever was scheduled falls due; those texts wait for their accounts.
    now = kNow + 100 * 365 * 24 * 3600LL;
    server.ReleaseDue();
    server.Stop();
    serving.join();
    return 0;
}
