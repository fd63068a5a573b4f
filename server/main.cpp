// smsd: the SMS server stand-in.
//   smsd [--listen HOST:PORT] [--directory FILE] [--http HOST:PORT]
//        [--answer-delay-ms N] [--port-file FILE] [--log FILE]
//        [--clock-file FILE] [--queue FILE]
// --clock-file names a file holding the seconds the server's clock runs
// ahead of the machine's, read afresh whenever the clock is asked, so that
// a demonstration can bring a scheduled time near without waiting for it.
// The queue file keeps the texts that wait for their recipients across
// restarts; by default it is "smsd.queue" beside the log file (or in the
// current directory when the log goes to the standard error).
#include "account_directory.h"
#include "order_page.h"
#include "sms_server.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

bool SplitAddress(const std::string& text, std::string& host, uint16_t& port)
{
    const size_t colon = text.rfind(':');
    if (colon == std::string::npos) return false;
    host = text.substr(0, colon);
    const long value = strtol(text.c_str() + colon + 1, nullptr, 10);
    if (value < 0 || value > 65535) return false;
    port = static_cast<uint16_t>(value);
    return true;
}

// The machine's time moved by the offset in `file`; a missing or unreadable
// file moves it by nothing.
time_t ClockFromFile(const std::string& file)
{
    long long offset = 0;
    std::ifstream input(file);
    std::string text;
    if (input && std::getline(input, text)) {
        errno = 0;
        char* end = nullptr;
        const long long value = strtoll(text.c_str(), &end, 10);
        if (!errno && end != text.c_str() && value > -315360000LL && value < 315360000LL) offset = value;
    }
    return time(nullptr) + static_cast<time_t>(offset);
}

} // namespace

int main(int argc, char** argv)
{
    smsd::ServerOptions options;
    std::string directoryFile, portFile, logFile, httpAddress, clockFile;
    unsigned delay = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--listen" && hasValue) {
            if (!SplitAddress(argv[++i], options.listenHost, options.listenPort)) {
                fprintf(stderr, "smsd: --listen takes HOST:PORT\n");
                return 2;
            }
        } else if (arg == "--directory" && hasValue) directoryFile = argv[++i];
        else if (arg == "--http" && hasValue) httpAddress = argv[++i];
        else if (arg == "--answer-delay-ms" && hasValue) delay = static_cast<unsigned>(atoi(argv[++i]));
        else if (arg == "--port-file" && hasValue) portFile = argv[++i];
        else if (arg == "--log" && hasValue) logFile = argv[++i];
        else if (arg == "--clock-file" && hasValue) clockFile = argv[++i];
        else if (arg == "--queue" && hasValue) options.queueFile = argv[++i];
        else {
            fprintf(stderr, "smsd: unknown option %s\n", arg.c_str());
            return 2;
        }
    }
    options.answerDelayMs = delay;
    if (!clockFile.empty()) options.clock = [clockFile] { return ClockFromFile(clockFile); };
    if (options.queueFile.empty()) {
        const size_t slash = logFile.rfind('/');
        options.queueFile = slash == std::string::npos ? "smsd.queue" : logFile.substr(0, slash + 1) + "smsd.queue";
    }

    AccountDirectory directory = AccountDirectory::BuiltIn();
    if (!directoryFile.empty()) {
        std::string error;
        if (!directory.LoadFile(directoryFile, error)) {
            fprintf(stderr, "smsd: %s\n", error.c_str());
            return 2;
        }
    }

    std::ofstream logStream;
    if (!logFile.empty()) {
        logStream.open(logFile, std::ios::app);
        options.log = &logStream;
    } else {
        options.log = &std::cerr;
    }

    // The order page listens beside the switch port unless told otherwise;
    // when that port is taken, on any free one, which it then names.
    std::string httpHost = options.listenHost;
    uint16_t httpPort = options.listenPort && options.listenPort < 65535 ? static_cast<uint16_t>(options.listenPort + 1) : 0;
    if (!httpAddress.empty() && !SplitAddress(httpAddress, httpHost, httpPort)) {
        fprintf(stderr, "smsd: --http takes HOST:PORT\n");
        return 2;
    }
    auto page = std::make_unique<smsd::OrderPage>();
    std::string error;
    if (!page->Start(httpHost, httpPort, error)) {
        if (!httpAddress.empty() || httpPort == 0) {
            fprintf(stderr, "smsd: %s\n", error.c_str());
            return 1;
        }
        // A page object serves one bind attempt: a fresh one takes any port.
        page = std::make_unique<smsd::OrderPage>();
        if (!page->Start(httpHost, 0, error)) {
            fprintf(stderr, "smsd: %s\n", error.c_str());
            return 1;
        }
        fprintf(stderr, "smsd: order page port %u is taken; the order page is on port %u\n",
                static_cast<unsigned>(httpPort), static_cast<unsigned>(page->Port()));
    }
    options.orderBase = "http://" + httpHost + ":" + std::to_string(page->Port()) + "/order";

    smsd::SmsServer server(directory, options);
    if (!server.Listen(error)) {
        fprintf(stderr, "smsd: %s\n", error.c_str());
        // The order page may not be serving yet, and a stop that comes
        // before it does is not heard: leave without waiting for it.
        if (options.log) options.log->flush();
        fflush(nullptr);
        _exit(1);
    }
    if (!portFile.empty()) {
        std::ofstream(portFile) << server.Port() << " " << page->Port() << "\n";
    }
    *options.log << "smsd: switch on " << options.listenHost << ":" << server.Port() << ", order page "
                 << options.orderBase << std::endl;
    server.StopOnSignals([&options](int signal) { *options.log << "smsd: stopped by signal " << signal << std::endl; });
    server.Run();
    page->Stop();
    return 0;
}
