// The smsd program itself, started as users start it: where the order page
// goes when the port beside the switch port is taken, and a clean stop on
// SIGTERM.
#include "gbk.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>

namespace {

// A listening socket on a port that the kernel picks; -1 on failure.
int ListenAnywhere(uint16_t& port)
{
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (bind(s, reinterpret_cast<sockaddr*>(&address), size) != 0 || listen(s, 1) != 0 ||
        getsockname(s, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        close(s);
        return -1;
    }
    port = ntohs(address.sin_port);
    return s;
}

bool PortFree(uint16_t port)
{
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    const bool free = bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(s);
    return free;
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace

TEST(SmsdProgramTest, OrderPageMovesToAFreePortWhenTheNextOneIsTaken)
{
    // A switch port whose next port is held by someone else.
    uint16_t taken = 0, switchPort = 0;
    int holder = -1;
    for (int attempt = 0; attempt < 20 && holder < 0; ++attempt) {
        holder = ListenAnywhere(taken);
        if (holder >= 0 && taken > 1024 && PortFree(static_cast<uint16_t>(taken - 1))) {
            switchPort = static_cast<uint16_t>(taken - 1);
        } else if (holder >= 0) {
            close(holder);
            holder = -1;
        }
    }
    ASSERT_GE(holder, 0) << "no port pair found";

    char directory[] = "/tmp/smsd_process_XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(directory));
    const std::string ports = std::string(directory) + "/ports", errors = std::string(directory) + "/stderr";
    const std::string queue = std::string(directory) + "/queue";
    const std::string listen = "127.0.0.1:" + std::to_string(switchPort);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const int err = open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(err, 2);
        execl(SMSD_PATH, SMSD_PATH, "--listen", listen.c_str(), "--port-file", ports.c_str(), "--queue", queue.c_str(),
              static_cast<char*>(nullptr));
        _exit(127);
    }

    int status = 0;
    bool exited = false;
    for (int i = 0; i < 100 && ReadFile(ports).empty(); ++i) {
        if (waitpid(child, &status, WNOHANG) == child) { exited = true; break; }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ASSERT_FALSE(exited) << "smsd exited with " << WEXITSTATUS(status) << ": " << ReadFile(errors);
    std::istringstream portLine(ReadFile(ports));
    unsigned gotSwitch = 0, gotPage = 0;
    portLine >> gotSwitch >> gotPage;
    EXPECT_EQ(switchPort, gotSwitch);
    EXPECT_NE(0u, gotPage);
    EXPECT_NE(taken, gotPage);
    const std::string said = ReadFile(errors);
    EXPECT_NE(std::string::npos, said.find("order page is on port " + std::to_string(gotPage))) << said;

    httplib::Client client("127.0.0.1", static_cast<int>(gotPage));
    auto response = client.Get("/order?option=bind&user_id=10001");
    ASSERT_TRUE(response) << "nothing serves the page on " << gotPage;
    EXPECT_EQ(200, response->status);
    EXPECT_NE(std::string::npos, response->body.find(smsd::Utf8ToGbk(u8"帐号：<b>10001</b>"))) << response->body;

    kill(child, SIGTERM);
    ASSERT_EQ(child, waitpid(child, &status, 0));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
    EXPECT_NE(std::string::npos, ReadFile(errors).find("smsd: stopped by signal 15")) << ReadFile(errors);
    close(holder);
    unlink(ports.c_str());
    unlink(errors.c_str());
    unlink(queue.c_str());
    rmdir(directory);
}
