// smsd's queue file: what it took on and has not delivered is there at the
// next start, and a failing disk loses no text it took. A damaged file is
// the fuzz harness's, which reads the file its own way; kills of smsd are
// the link test's, through the module.
#include "queue_file.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <tuple>

using smsd::QueueFile;
using smsd::QueuedText;

namespace {

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
