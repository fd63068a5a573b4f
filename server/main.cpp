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
#include "command_line.h"
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

// What the command line sets, checked as it is read.
struct Settings {
    smsd::ServerOptions server;
    std::string directoryFile, portFile, logFile, httpAddress, clockFile;
};

int ReadCommandLine(int argc, char** argv, Settings& settings)
{
    const CLI::Validator address(
        [](std::string& text) {
            std::string host;
            uint16_t port;
            return SplitAddress(text, host, port) ? std::string() : "wants HOST:PORT, not " + text;
        },
        "");
    std::string listen;
    CLI::App app("smsd: the SMS server stand-in. It serves the switch protocol, and the order page on the next "
                 "port unless --http names one.");
    DescribeCommandLine(app, "smsd");
    app.add_option("--listen", listen, "the switch protocol's address; 127.0.0.1:20061 unless given")
        ->type_name("HOST:PORT")->check(address);
    app.add_option("--http", settings.httpAddress, "the order page's address")->type_name("HOST:PORT")->check(address);
    app.add_option("--directory", settings.directoryFile, "the account directory; the built-in one unless given")
        ->type_name("FILE");
    app.add_option("--answer-delay-ms", settings.server.answerDelayMs,
                   "milliseconds to wait before answering each call")->type_name("N");
    app.add_option("--port-file", settings.portFile, "written once listening: the switch's port and the page's")
        ->type_name("FILE");
    app.add_option("--log", settings.logFile, "every frame received and sent; the standard error unless given")
        ->type_name("FILE");
    app.add_option("--clock-file", settings.clockFile, "the seconds the clock runs ahead, read whenever it is asked")
        ->type_name("FILE");
    app.add_option("--queue", settings.server.queueFile, "the texts waiting for their recipients; smsd.queue "
                   "beside the log unless given")->type_name("FILE");
    const int status = ParseCommandLine(app, argc, argv);
    if (status < 0 && !listen.empty()) SplitAddress(listen, settings.server.listenHost, settings.server.listenPort);
    return status;
}

// The order page listens beside the switch port unless told otherwise; when
// that port is taken, on any free one, which it then names. Null when it
// cannot listen, after saying why.
std::unique_ptr<smsd::OrderPage> StartOrderPage(const Settings& settings, std::string& httpHost)
{
    const smsd::ServerOptions& options = settings.server;
    httpHost = options.listenHost;
    uint16_t httpPort =
        options.listenPort && options.listenPort < 65535 ? static_cast<uint16_t>(options.listenPort + 1) : 0;
    if (!settings.httpAddress.empty()) SplitAddress(settings.httpAddress, httpHost, httpPort);
    auto page = std::make_unique<smsd::OrderPage>();
    std::string error;
    if (page->Start(httpHost, httpPort, error)) return page;
    if (!settings.httpAddress.empty() || httpPort == 0) {
        fprintf(stderr, "smsd: %s\n", error.c_str());
        return nullptr;
    }
    // A page object serves one bind attempt: a fresh one takes any port.
    page = std::make_unique<smsd::OrderPage>();
    if (!page->Start(httpHost, 0, error)) {
        fprintf(stderr, "smsd: %s\n", error.c_str());
        return nullptr;
    }
    fprintf(stderr, "smsd: order page port %u is taken; the order page is on port %u\n",
            static_cast<unsigned>(httpPort), static_cast<unsigned>(page->Port()));
    return page;
}

} // namespace

int main(int argc, char** argv)
{
    Settings settings;
    const int status = ReadCommandLine(argc, argv, settings);
    if (status >= 0) return status;
    smsd::ServerOptions& options = settings.server;
    const std::string clockFile = settings.clockFile;
    if (!clockFile.empty()) options.clock = [clockFile] { return ClockFromFile(clockFile); };
    if (options.queueFile.empty()) {
        const std::string& log = settings.logFile;
        const size_t slash = log.rfind('/');
        options.queueFile = slash == std::string::npos ? "smsd.queue" : log.substr(0, slash + 1) + "smsd.queue";
    }

    AccountDirectory directory = AccountDirectory::BuiltIn();
    std::string error;
    if (!settings.directoryFile.empty() && !directory.LoadFile(settings.directoryFile, error)) {
        fprintf(stderr, "smsd: %s\n", error.c_str());
        return 2;
    }
    std::ofstream logStream;
    if (!settings.logFile.empty()) logStream.open(settings.logFile, std::ios::app);
    options.log = settings.logFile.empty() ? &std::cerr : &logStream;

    std::string httpHost;
    const std::unique_ptr<smsd::OrderPage> page = StartOrderPage(settings, httpHost);
    if (!page) return 1;
    options.orderBase = "http://" + httpHost + ":" + std::to_string(page->Port()) + "/order";

    smsd::SmsServer server(directory, options);
    if (!server.Listen(error)) {
        fprintf(stderr, "smsd: %s\n", error.c_str());
        // The order page may not be serving yet, and a stop that comes
        // before it does is not heard: leave without waiting for it.
        options.log->flush();
        fflush(nullptr);
        _exit(1);
    }
    if (!settings.portFile.empty()) std::ofstream(settings.portFile) << server.Port() << " " << page->Port() << "\n";
    *options.log << "smsd: switch on " << options.listenHost << ":" << server.Port() << ", order page "
                 << options.orderBase << std::endl;
    server.StopOnSignals([&options](int signal) { *options.log << "smsd: stopped by signal " << signal << std::endl; });
    server.Run();
    page->Stop();
    return 0;
}
