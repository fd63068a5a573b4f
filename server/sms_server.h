// smsd's switch side: accounts log in over TCP, call the service, send
// messages to each other; the server relays, queues and schedules them.
#pragma once
#include "account_directory.h"
#include "queue_file.h"

#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <ostream>
#include <string>

namespace smsd {

struct ServerOptions {
    std::string listenHost = "127.0.0.1";
    uint16_t listenPort = 20061;
    std::string orderBase;              // sent in the start-up answer
    unsigned answerDelayMs = 0;         // before each CALL_RESULT
    std::function<time_t()> clock;      // decides scheduled times; default: time()
    std::ostream* log = nullptr;        // one line per frame received and sent
    // The journal of texts taken on and not yet handed over; empty: they are
    // kept in memory only, and a restart loses them.
    std::string queueFile;
    DiskCalls queueDisk;                // how the queue file writes; tests make it fail
};

class SmsServer {
public:
    SmsServer(const AccountDirectory& directory, ServerOptions options);
    ~SmsServer();
    SmsServer(const SmsServer&) = delete;
    SmsServer& operator=(const SmsServer&) = delete;

    // Reads the queue file, then binds the listening socket; Port() then
    // gives the port it got.
    bool Listen(std::string& error);
    uint16_t Port() const;
    // Serves until Stop, or until SIGINT or SIGTERM once StopOnSignals was
    // called; `stopped` then hears the signal's number.
    void Run();
    void StopOnSignals(std::function<void(int)> stopped);
    // From any thread.
    void Stop();
    // From any thread: delivers every scheduled text that is due by the clock.
    void ReleaseDue();

private:
    class Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace smsd
