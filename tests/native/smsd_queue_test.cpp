// smsd's queue file: what it took on survives kill -9 and every text arrives
// once; a damaged file at start is reported and read as far as it can be
// (the damage itself is the queue-file fuzz harness's, against a reading of
// its own).
#include "queue_file.h"
#include "switch_client.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>

using namespace switchproto;
using smsd::QueueFile;
using smsd::QueuedText;

namespace {

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

struct TempDir {
    TempDir()
    {
        char name[] = "/tmp/smsd_queue_XXXXXX";
        path = mkdtemp(name) ? name : "";
    }
    ~TempDir()
    {
        if (!path.empty()) (void)!system(("rm -rf '" + path + "'").c_str());
    }
    std::string path;
};

QueuedText Text(uint32_t recipient, const std::string& text, time_t due = 0)
{
    QueuedText item;
    item.recipient = recipient;
    item.caller = 10004;
    item.text = text;
    item.due = due;
    return item;
}

std::string Texts(const std::vector<QueuedText>& items)
{
    std::string out;
    for (const QueuedText& item : items) out += (out.empty() ? "" : ",") + item.text;
    return out;
}

std::string Lines(const std::vector<std::string>& lines)
{
    std::string out;
    for (const std::string& line : lines) out += line + "\n";
    return out;
}

} // namespace

TEST(QueueFileTest, IsCreatedForItsOwnerOnlyAndKeepsWhatIsNotDone)
{
    TempDir dir;
    const std::string path = dir.path + "/queue";
    // With no mask, the mode asked for at creation is the mode the file gets.
    const mode_t mask = umask(0);
    {
        QueueFile queue;
        std::vector<std::string> report;
        std::string error;
        ASSERT_TRUE(queue.Open(path, report, error)) << error;
        EXPECT_TRUE(report.empty()) << Lines(report);
        QueuedText a = Text(10001, "a"), b = Text(10002, "b", 2000000000), c = Text(10001, "c");
        ASSERT_TRUE(queue.Accept(a));
        ASSERT_TRUE(queue.Accept(b));
        ASSERT_TRUE(queue.Accept(c));
        EXPECT_TRUE(queue.Done(a.id));
        EXPECT_FALSE(queue.Done(a.id)) << "a text is done once";
    }
    umask(mask);
    struct stat info;
    ASSERT_EQ(0, stat(path.c_str(), &info));
    EXPECT_EQ(0600u, info.st_mode & 0777) << std::oct << (info.st_mode & 0777);

    QueueFile again;
    std::vector<std::string> report;
    std::string error;
    ASSERT_TRUE(again.Open(path, report, error)) << error;
    EXPECT_TRUE(report.empty()) << Lines(report);
    const std::vector<QueuedText> pending = again.Pending();
    EXPECT_EQ("b,c", Texts(pending));
    ASSERT_EQ(2u, pending.size());
    EXPECT_EQ(10002u, pending[0].recipient);
    EXPECT_EQ(10004u, pending[0].caller);
    EXPECT_EQ(2000000000, pending[0].due);
    // Ids go on from the highest ever given, so a done record never names a new text.
    QueuedText d = Text(10001, "d");
    ASSERT_TRUE(again.Accept(d));
    EXPECT_GT(d.id, pending[1].id);
}

// Whatever the disk does, a text is in the file exactly when Accept said so,
// the file stays sound for the appends after the fault, and the fault is
// reported.
TEST(QueueFileTest, AFailingDiskLosesNoTextItTookAndDamagesNothing)
{
    const size_t doneRecord = QueueFile::EncodeDone(1).size();
    const struct { const char* what; size_t room; bool failReopen, failSync, deliverFirst; const char *kept, *said; } cases[] = {
        {"room for part of a record", 10, false, false, false, "a,b,d", "No space left on device"},
        {"no room to record a delivery", 0, false, false, true, "a,b,d", "goes out again"},
        {"room for a delivery, not for compacting", doneRecord, false, false, true, "b,d", "stays as it was"},
        {"no open after compacting", SIZE_MAX, true, false, true, "b,d", "cannot be opened again"},
        {"a sync fails", SIZE_MAX, false, true, false, "a,b,c,d", "written anew"},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.what);
        size_t room = SIZE_MAX;
        bool failReopen = false, failSync = false;
        smsd::DiskCalls disk;
        disk.write = [&](int fd, const void* data, size_t size) {
            size = std::min(size, room);
            room -= size;
            return size ? write(fd, data, size) : (errno = ENOSPC, -1);
        };
        disk.open = [&, real = disk.open](const char* path, int flags, mode_t mode) {
            return failReopen && (flags & O_APPEND) ? (errno = EMFILE, -1) : real(path, flags, mode);
        };
        disk.sync = [&](int fd) { return failSync ? (errno = EIO, -1) : fdatasync(fd); };
        TempDir dir;
        QueueFile queue(disk), reread;
        std::vector<std::string> report;
        std::string error;
        ASSERT_TRUE(queue.Open(dir.path + "/queue", report, error)) << error;
        QueuedText a = Text(10001, "a"), b = Text(10001, "b"), c = Text(10001, "c"), d = Text(10001, "d"), x = a;
        ASSERT_TRUE(queue.Accept(a) && queue.Accept(b));
        for (size_t i = 0; i < QueueFile::kCompactAfter; ++i) // one delivery short of compacting
            ASSERT_TRUE(queue.Accept(x) && queue.Done(x.id));
        std::tie(room, failReopen, failSync) = std::make_tuple(row.room, row.failReopen, row.failSync);
        if (row.deliverFirst) queue.Done(a.id);
        EXPECT_EQ(strchr(row.kept, 'c') != nullptr, queue.Accept(c));
        queue.Sync();
        const std::string said = Lines(queue.TakeReport());
        EXPECT_NE(std::string::npos, said.find(row.said)) << said;
        std::tie(room, failReopen, failSync) = std::make_tuple(SIZE_MAX, false, false);
        EXPECT_TRUE(queue.Accept(d));
        ASSERT_TRUE(reread.Open(dir.path + "/queue", report, error)) << error;
        EXPECT_TRUE(report.empty()) << Lines(report);
        EXPECT_EQ(row.kept, Texts(reread.Pending()));
    }
}

TEST(QueueFileTest, ADirectoryInItsPlaceIsAClearErrorNotACrash)
{
    TempDir dir;
    const std::string path = dir.path + "/queue";
    ASSERT_EQ(0, mkdir(path.c_str(), 0700));
    QueueFile queue;
    std::vector<std::string> report;
    std::string error;
    EXPECT_FALSE(queue.Open(path, report, error));
    EXPECT_NE(std::string::npos, error.find("is not a regular file")) << error;
    QueuedText item = Text(10001, "a");
    EXPECT_FALSE(queue.Accept(item));
}

namespace {

// The smsd program on fixed ports with one queue file, killed with SIGKILL.
class Smsd {
public:
    explicit Smsd(const std::string& dir) : m_dir(dir) {}
    ~Smsd() { Kill(); }

    bool Start()
    {
        const std::string ports = m_dir + "/ports";
        unlink(ports.c_str());
        m_logStart = Log().size();
        const std::string listen = "127.0.0.1:" + std::to_string(m_port);
        const std::string log = m_dir + "/smsd.log", queue = m_dir + "/queue", errors = m_dir + "/stderr";
        m_pid = fork();
        if (m_pid < 0) return false;
        if (m_pid == 0) {
            const int err = open(errors.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
            dup2(err, 2);
            execl(SMSD_PATH, SMSD_PATH, "--listen", listen.c_str(), "--http", "127.0.0.1:0", "--port-file",
                  ports.c_str(), "--log", log.c_str(), "--queue", queue.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        for (int i = 0; i < 200; ++i) {
            std::istringstream line(ReadFile(ports));
            unsigned port = 0;
            if (line >> port) {
                m_port = static_cast<uint16_t>(port);
                return true;
            }
            int status;
            if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
                m_pid = -1;
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
        }
        return false;
    }

    void Kill()
    {
        if (m_pid <= 0) return;
        kill(m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
        m_pid = -1;
    }

    uint16_t Port() const { return m_port; }
    std::string Log() const { return ReadFile(m_dir + "/smsd.log"); }
    std::string Errors() const { return ReadFile(m_dir + "/stderr"); }

    // Waits until the log, from where it was at this start, holds `count`
    // lines that begin with `prefix` and contain `part`; false if it never
    // does. Reads only what was added since the last look, so that it keeps
    // up with a busy server.
    // With quietMs, it then also waits until no further such line came for
    // that long.
    bool WaitForLog(const std::string& prefix, const std::string& part, size_t count, int quietMs = 0)
    {
        auto last = std::chrono::steady_clock::now();
        std::ifstream in(m_dir + "/smsd.log", std::ios::binary);
        in.seekg(static_cast<std::streamoff>(m_logStart));
        std::string pending;
        size_t found = 0;
        for (int i = 0; i < 30000; ++i) {
            char buffer[65536];
            in.clear();
            in.read(buffer, sizeof buffer);
            const std::streamsize n = in.gcount();
            if (n == 0) {
                if (found >= count && std::chrono::steady_clock::now() - last >= std::chrono::milliseconds(quietMs))
                    return true;
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
                continue;
            }
            pending.append(buffer, static_cast<size_t>(n));
            size_t start = 0, end;
            while ((end = pending.find('\n', start)) != std::string::npos) {
                if (pending.compare(start, prefix.size(), prefix) == 0 &&
                    pending.substr(start, end - start).find(part) != std::string::npos) {
                    ++found;
                    last = std::chrono::steady_clock::now();
                    if (found >= count && quietMs == 0) return true;
                }
                start = end + 1;
            }
            pending.erase(0, start);
        }
        return false;
    }

private:
    std::string m_dir;
    pid_t m_pid = -1;
    uint16_t m_port = 0;
    size_t m_logStart = 0;
};

const std::string STX = "\x02";
const uint32_t kSender = 10004, kOnline = 10001, kOffline = 10002;

// Counts the texts numbered "m<i>:" that reach a client.
void Collect(SwitchClient& client, std::map<int, int>& arrived, int timeoutMs)
{
    const std::regex number("\\x02m([0-9]+):");
    Frame frame;
    while (client.Read(frame, timeoutMs)) {
        if (frame.opcode != kServerData) continue;
        std::smatch match;
        if (std::regex_search(frame.payload, match, number)) ++arrived[std::stoi(match[1])];
    }
}

std::set<int> Accepted(const std::string& log)
{
    std::set<int> accepted;
    const std::regex line("accept #[0-9]+ for [0-9]+ from [0-9]+: 4\\\\x020\\\\x02" + std::to_string(kSender) +
                          "\\\\x02m([0-9]+):");
    for (auto it = std::sregex_iterator(log.begin(), log.end(), line); it != std::sregex_iterator(); ++it)
        accepted.insert(std::stoi((*it)[1]));
    return accepted;
}

} // namespace

// A burst of texts to one recipient online and one offline, smsd killed
// while it takes them on and again while it hands the offline one's texts
// over, restarted each time on the same port and queue file: every text it
// took on arrives once. The recipients read nothing while the kills fall, so
// writes to them stall part way through and the kill finds texts on both
// sides of "handed over".
TEST(SmsdKillTest, EveryTextTakenOnArrivesExactlyOnceAcrossKills)
{
    signal(SIGPIPE, SIG_IGN);
    TempDir dir;
    Smsd smsd(dir.path);
    ASSERT_TRUE(smsd.Start()) << smsd.Errors();
    const int total = 400;
    const std::string padding(8000, 'p');
    std::map<int, int> online, offline;

    {
        SwitchClient reader(smsd.Port(), 4096);
        ASSERT_TRUE(reader.Login(kOnline));
        SwitchClient sender(smsd.Port());
        ASSERT_TRUE(sender.Login(kSender));
        std::string burst;
        for (int i = 0; i < total; ++i) {
            const uint32_t to = i % 2 ? kOffline : kOnline;
            const uint32_t sid = static_cast<uint32_t>(i + 1);
            burst += Encode(kCall, [&] {
                std::string p;
                PutU32(p, sid);
                PutU32(p, to);
                PutU16(p, 20061);
                return p;
            }());
            std::string data;
            PutU32(data, sid);
            data += "2" + STX + std::to_string(kSender) + ":" + STX + std::to_string(to) + STX + "m" + std::to_string(i) +
                    ":" + padding + STX + "0" + std::string(1, '\0');
            burst += Encode(kData, data);
        }
        std::thread writer([&] { sender.SendRaw(burst); });
        // Kill while texts are still being taken on.
        const bool midway = smsd.WaitForLog("accept #", "", total / 4);
        smsd.Kill();
        writer.join();
        ASSERT_TRUE(midway) << smsd.Log().substr(0, 4000);
        Collect(reader, online, 2000);
        ASSERT_TRUE(reader.Closed());
    }
    const std::set<int> firstAccepted = Accepted(smsd.Log());
    ASSERT_LT(firstAccepted.size(), static_cast<size_t>(total)) << "the kill came after the whole burst";
    int firstToOnline = 0;
    for (int i : firstAccepted) firstToOnline += i % 2 == 0;
    size_t onlineBefore = online.size();
    ASSERT_LT(onlineBefore, static_cast<size_t>(firstToOnline)) << "the writes to the online recipient never stalled";

    ASSERT_TRUE(smsd.Start()) << smsd.Errors();
    {
        // The offline recipient comes online and reads nothing: the flood of
        // its waiting texts stalls once its buffer is full, and smsd dies in
        // the middle of it, after it has heard of every text that did arrive.
        SwitchClient late(smsd.Port(), 65536);
        ASSERT_TRUE(late.Login(kOffline));
        ASSERT_TRUE(smsd.WaitForLog("delivered #", " to " + std::to_string(kOffline), 1, 300)) << smsd.Log().substr(0, 4000);
        smsd.Kill();
        Collect(late, offline, 2000);
        ASSERT_TRUE(late.Closed());
        ASSERT_GT(offline.size(), 0u);
    }
    const size_t offlineBefore = offline.size();

    ASSERT_TRUE(smsd.Start()) << smsd.Errors();
    SwitchClient first(smsd.Port()), second(smsd.Port());
    ASSERT_TRUE(first.Login(kOnline));
    ASSERT_TRUE(second.Login(kOffline));
    Collect(first, online, 1500);
    Collect(second, offline, 1500);

    const std::string log = smsd.Log();
    const std::set<int> accepted = Accepted(log);
    EXPECT_EQ(firstAccepted, accepted) << "nothing was sent after the first kill";
    EXPECT_GT(online.size(), onlineBefore) << "the online recipient got the rest after the restart";
    EXPECT_GT(offline.size(), offlineBefore) << "the offline recipient got the rest after the second restart";
    int missing = 0, twice = 0;
    for (int i : accepted) {
        const int got = (i % 2 ? offline : online)[i];
        if (got == 0 && ++missing <= 5) ADD_FAILURE() << "text m" << i << " was taken on and never arrived";
        if (got > 1 && ++twice <= 5) ADD_FAILURE() << "text m" << i << " arrived " << got << " times";
    }
    EXPECT_EQ(0, missing);
    EXPECT_EQ(0, twice);
    // A text whose record went to the file but whose log line did not may
    // arrive too: one at most, the one in hand at the first kill.
    int unlogged = 0;
    for (const auto* got : {&online, &offline})
        for (const auto& entry : *got) {
            EXPECT_EQ(1, entry.second) << "text m" << entry.first;
            unlogged += accepted.count(entry.first) == 0;
        }
    EXPECT_LE(unlogged, 1);
    EXPECT_EQ(std::string::npos, log.find("is damaged")) << "a kill never damages the queue file";
}

// smsd refuses a queue file it cannot use with a clear line, and reads a
// damaged one as far as it can, keeping the damaged file.
TEST(SmsdKillTest, ADamagedQueueFileAtStartIsReportedAndWhatCanBeReadIsDelivered)
{
    TempDir dir;
    const std::string path = dir.path + "/queue";
    {
        QueueFile queue;
        std::vector<std::string> report;
        std::string error;
        ASSERT_TRUE(queue.Open(path, report, error)) << error;
        for (int i = 0; i < 3; ++i) {
            QueuedText item = Text(kOnline, "4" + STX + "0" + STX + std::to_string(kSender) + STX + "m" + std::to_string(i) + ":");
            ASSERT_TRUE(queue.Accept(item));
        }
    }
    const std::string whole = ReadFile(path);
    WriteFile(path, whole.substr(0, whole.size() - 4)); // the last record cut short
    Smsd smsd(dir.path);
    ASSERT_TRUE(smsd.Start()) << smsd.Errors();
    const std::string log = smsd.Log();
    EXPECT_NE(std::string::npos, log.find("queue file " + path + " is damaged: the last")) << log;
    EXPECT_NE(std::string::npos, log.find("kept 2 waiting texts")) << log;
    EXPECT_EQ(whole.substr(0, whole.size() - 4), ReadFile(path + ".damaged"));
    struct stat info;
    ASSERT_EQ(0, stat(path.c_str(), &info));
    EXPECT_EQ(0600u, info.st_mode & 0777) << std::oct << (info.st_mode & 0777);

    SwitchClient client(smsd.Port());
    ASSERT_TRUE(client.Login(kOnline));
    std::map<int, int> arrived;
    Collect(client, arrived, 1000);
    EXPECT_EQ((std::map<int, int>{{0, 1}, {1, 1}}), arrived);
    smsd.Kill();

    ASSERT_EQ(0, unlink(path.c_str()));
    ASSERT_EQ(0, mkdir(path.c_str(), 0700));
    Smsd refused(dir.path);
    EXPECT_FALSE(refused.Start());
    EXPECT_NE(std::string::npos, refused.Errors().find("is not a regular file")) << refused.Errors();
}
