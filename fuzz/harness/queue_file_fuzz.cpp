// smsd's queue file as a restart finds it: the input is the whole file, which
// a kill, a crash of the machine or a bad disk may have damaged. The reader
// is checked against a reading of our own of the same bytes: what it keeps
// waiting, whether it calls the file damaged, the damaged file kept aside
// byte for byte (never lost, even when one is already kept), and a file left
// behind that reads back clean with the same texts.
#include "check.h"
#include "queue_file.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

using smsd::QueuedText;
using smsd::QueueFile;

namespace {

const size_t kLargestBody = 1u << 20; // what smsd ever writes in one record

uint32_t Crc(const std::string& bytes, size_t at, size_t size)
{
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = at; i < at + size; ++i) {
        crc ^= static_cast<uint8_t>(bytes[i]);
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    return ~crc;
}

uint64_t Le(const std::string& bytes, size_t at, int size)
{
    uint64_t value = 0;
    for (int i = size - 1; i >= 0; --i) value = value << 8 | static_cast<uint8_t>(bytes[at + i]);
    return value;
}

// The sound record at `at`: its size (0: none) and what it says, 'A' an
// accepted text, 'D' one done.
size_t ReadAt(const std::string& bytes, size_t at, char& kind, QueuedText& item)
{
    if (bytes.size() < at + 8) return 0;
    const uint64_t length = Le(bytes, at, 4);
    if (length < 9 || length > kLargestBody || length > bytes.size() - at - 8) return 0;
    if (Crc(bytes, at + 8, length) != Le(bytes, at + 4, 4)) return 0;
    const size_t body = at + 8;
    kind = bytes[body];
    item.id = Le(bytes, body + 1, 8);
    if (kind == 'A' && length >= 29 && Le(bytes, body + 25, 4) == length - 29) {
        item.recipient = static_cast<uint32_t>(Le(bytes, body + 9, 4));
        item.caller = static_cast<uint32_t>(Le(bytes, body + 13, 4));
        item.due = static_cast<time_t>(static_cast<int64_t>(Le(bytes, body + 17, 8)));
        item.text = bytes.substr(body + 29, length - 29);
    } else if (kind != 'D' || length != 9) {
        return 0;
    }
    return 8 + length;
}

struct Reading {
    std::map<uint64_t, QueuedText> pending;
    bool markMissing = false;
    size_t damagedStretches = 0; // each skipped or dropped run of bytes
    bool Damaged() const { return markMissing || damagedStretches > 0; }
};

// Records in order; a damaged stretch runs up to the next offset at which a
// sound record starts (or to the end), and reading goes on from there.
Reading Read(const std::string& bytes)
{
    Reading reading;
    size_t at = 0;
    if (bytes.compare(0, 8, "SMSDQUE1") == 0)
        at = 8;
    else
        reading.markMissing = !bytes.empty();
    while (at < bytes.size()) {
        char kind = 0;
        QueuedText item;
        size_t size = ReadAt(bytes, at, kind, item);
        if (!size) {
            ++reading.damagedStretches;
            while (++at < bytes.size() && !(size = ReadAt(bytes, at, kind, item))) {}
            if (!size) break;
        }
        if (kind == 'A')
            reading.pending[item.id] = item;
        else
            reading.pending.erase(item.id);
        at += size;
    }
    return reading;
}

bool SameAs(const std::vector<QueuedText>& got, const std::map<uint64_t, QueuedText>& expected)
{
    if (got.size() != expected.size()) return false;
    size_t i = 0;
    for (const auto& entry : expected) {
        const QueuedText& a = got[i++];
        const QueuedText& b = entry.second;
        if (a.id != b.id || a.recipient != b.recipient || a.caller != b.caller || a.due != b.due || a.text != b.text)
            return false;
    }
    return true;
}

// One directory per process, so that fuzzing jobs side by side never meet.
const std::string& Directory()
{
    static std::string directory;
    if (directory.empty()) {
        const char* tmp = getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/smsd-queue-fuzz-XXXXXX";
        Check(mkdtemp(&pattern[0]) != nullptr, "cannot make a temporary directory");
        directory = pattern;
        atexit([] { rmdir(directory.c_str()); });
    }
    return directory;
}

// Empties the directory; with `allowed`, first checks that nothing but the
// queue and what was kept aside stayed behind.
void Clean(bool allowed)
{
    DIR* dir = opendir(Directory().c_str());
    Check(dir != nullptr, "cannot list the temporary directory");
    while (dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        if (allowed) Check(name == "queue" || name.compare(0, 13, "queue.damaged") == 0, "a stray file stayed behind");
        unlink((Directory() + "/" + name).c_str());
    }
    closedir(dir);
}

void WriteFile(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    Check(static_cast<bool>(out << bytes) || bytes.empty(), "cannot write the input");
}

bool ReadFile(const std::string& path, std::string& bytes)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

// Opens `path` as smsd does and returns what it keeps waiting.
std::vector<QueuedText> Open(const std::string& path, std::vector<std::string>& report)
{
    QueueFile queue;
    std::string error;
    Check(queue.Open(path, report, error), "Open failed on a writable directory");
    Check(queue.IsOpen(), "Open left no file open for appending");
    return queue.Pending();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string input(reinterpret_cast<const char*>(data), size);
    const Reading expected = Read(input);
    Clean(false);
    const std::string path = Directory() + "/queue";
    WriteFile(path, input);

    // The reader's own parse of the bytes, then a restart on the file.
    std::vector<std::string> damage;
    uint64_t highest = 0;
    const size_t parsed = QueueFile::Parse(input, damage, highest).size();
    Check(damage.size() == expected.damagedStretches + (expected.markMissing ? 1 : 0),
          "Parse gave not one line per damaged stretch");

    std::vector<std::string> report;
    const std::vector<QueuedText> pending = Open(path, report);
    for (size_t i = 0; i < pending.size(); ++i) {
        Check(i == 0 || pending[i - 1].id < pending[i].id, "waiting texts not in order, or an id twice");
        // Nothing made up: each text is carried whole by a sound record of the file.
        Check(input.find(QueueFile::EncodeAccept(pending[i])) != std::string::npos,
              "a waiting text that no sound record carries");
    }
    Check(SameAs(pending, expected.pending), "the waiting texts are not those the file's sound records leave");
    Check(pending.size() == parsed, "Open and Parse disagree");
    Check(report.empty() == !expected.Damaged(), "damage not reported, or a sound file reported as damaged");

    std::string aside;
    const bool keptAside = ReadFile(path + ".damaged", aside);
    Check(keptAside == expected.Damaged(), "the damaged file not kept aside, or a sound file moved aside");
    Check(!keptAside || aside == input, "the file kept aside is not the damaged file as it was");

    // What is left at the path is sound, private, and reads back the same.
    std::string now;
    Check(ReadFile(path, now), "no queue file left at the path");
    const Reading left = Read(now);
    Check(!left.Damaged(), "the file left behind is itself damaged");
    Check(SameAs(pending, left.pending), "the file left behind holds other texts");
    struct stat info;
    Check(stat(path.c_str(), &info) == 0 && (info.st_mode & 0777) == 0600, "the file left behind is not mode 0600");
    std::vector<std::string> again;
    Check(SameAs(Open(path, again), expected.pending) && again.empty(), "reopening gave other texts, or damage");

    if (expected.Damaged()) {
        // The same damage found again must not cost the copy kept the first time.
        WriteFile(path, input);
        std::vector<std::string> second;
        Check(SameAs(Open(path, second), expected.pending), "the second damaged file gave other texts");
        Check(!second.empty(), "the second damaged file was not reported");
        std::string first, kept;
        Check(ReadFile(path + ".damaged", first) && first == input, "the first file kept aside was lost");
        Check(ReadFile(path + ".damaged.1", kept) && kept == input, "the second damaged file was not kept aside");
    }

    // A text taken on after the restart gets an id of its own, whatever ids
    // the file held, and survives the next restart beside the others.
    QueuedText taken;
    taken.recipient = 10002;
    taken.caller = 10001;
    taken.text = "after restart";
    {
        QueueFile queue;
        std::vector<std::string> ignored;
        std::string error;
        Check(queue.Open(path, ignored, error) && queue.Accept(taken),
              "a text could not be taken on after the restart");
    }
    Check(expected.pending.count(taken.id) == 0, "a new text got the id of a waiting one");
    std::map<uint64_t, QueuedText> withTaken = expected.pending;
    withTaken[taken.id] = taken;
    std::vector<std::string> third;
    Check(SameAs(Open(path, third), withTaken) && third.empty(),
          "a text taken on after the restart was lost or harmed");
    Clean(true);
    return 0;
}
