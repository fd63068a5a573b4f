#include "queue_file.h"

#include "crc32.h"
#include "little_endian.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace smsd {

const char QueueFile::kMagic[8] = {'S', 'M', 'S', 'D', 'Q', 'U', 'E', '1'};

namespace {

const uint32_t kMaxBody = 1u << 20;
const size_t kDoneBody = 1 + 8;
const size_t kAcceptHead = 1 + 8 + 4 + 4 + 8 + 4;

std::string Frame(const std::string& body)
{
    std::string record;
    PutLittle(record, body.size(), 4);
    PutLittle(record, Crc32(body.data(), body.size()), 4);
    return record + body;
}

enum class Kind { kBad, kAccept, kDone };

// The record at `at`, if one is sound there; `size` gets its full length.
Kind ReadRecord(const std::string& bytes, size_t at, size_t& size, QueuedText& item)
{
    if (bytes.size() - at < 8) return Kind::kBad;
    const uint64_t length = GetLittle(bytes, at, 4);
    if (length < kDoneBody || length > kMaxBody || bytes.size() - at - 8 < length) return Kind::kBad;
    if (Crc32(bytes.data() + at + 8, length) != GetLittle(bytes, at + 4, 4)) return Kind::kBad;
    const size_t body = at + 8;
    size = 8 + length;
    item = QueuedText();
    item.id = GetLittle(bytes, body + 1, 8);
    if (bytes[body] == 'D') return length == kDoneBody ? Kind::kDone : Kind::kBad;
    if (bytes[body] != 'A' || length < kAcceptHead) return Kind::kBad;
    item.recipient = static_cast<uint32_t>(GetLittle(bytes, body + 9, 4));
    item.caller = static_cast<uint32_t>(GetLittle(bytes, body + 13, 4));
    item.due = static_cast<time_t>(static_cast<int64_t>(GetLittle(bytes, body + 17, 8)));
    const uint64_t textLength = GetLittle(bytes, body + 25, 4);
    if (kAcceptHead + textLength != length) return Kind::kBad;
    item.text = bytes.substr(body + kAcceptHead, textLength);
    return Kind::kAccept;
}

// False with errno set; a write that takes nothing counts as a full disk.
bool WriteAll(const DiskCalls& disk, int fd, const std::string& bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = disk.write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n == 0) errno = ENOSPC;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

std::string Directory(const std::string& path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

} // namespace

QueueFile::~QueueFile()
{
    Sync();
    if (m_fd >= 0) close(m_fd);
}

std::string QueueFile::EncodeAccept(const QueuedText& item)
{
    std::string body(1, 'A');
    PutLittle(body, item.id, 8);
    PutLittle(body, item.recipient, 4);
    PutLittle(body, item.caller, 4);
    PutLittle(body, static_cast<uint64_t>(static_cast<int64_t>(item.due)), 8);
    PutLittle(body, item.text.size(), 4);
    return Frame(body + item.text);
}

std::string QueueFile::EncodeDone(uint64_t id)
{
    std::string body(1, 'D');
    PutLittle(body, id, 8);
    return Frame(body);
}

std::map<uint64_t, QueuedText> QueueFile::Parse(const std::string& bytes, std::vector<std::string>& damage,
                                                uint64_t& highestId)
{
    std::map<uint64_t, QueuedText> pending;
    highestId = 0;
    size_t at = 0;
    if (bytes.compare(0, sizeof kMagic, kMagic, sizeof kMagic) == 0) {
        at = sizeof kMagic;
    } else if (!bytes.empty()) {
        damage.push_back("it does not begin with the queue file's mark; reading what records it holds");
    }
    while (at < bytes.size()) {
        size_t size = 0;
        QueuedText item;
        Kind kind = ReadRecord(bytes, at, size, item);
        if (kind == Kind::kBad) {
            // Skip to the next offset at which a sound record starts: what a
            // damaged stretch hides is lost, what follows it is kept.
            size_t next = at + 1;
            while (next < bytes.size() && (kind = ReadRecord(bytes, next, size, item)) == Kind::kBad) ++next;
            if (next >= bytes.size()) {
                damage.push_back("the last " + std::to_string(bytes.size() - at) + " bytes, from offset " +
                                 std::to_string(at) + ", are cut short or damaged and were dropped");
                break;
            }
            damage.push_back("bytes " + std::to_string(at) + " to " + std::to_string(next - 1) +
                             " are damaged and were skipped");
            at = next;
        }
        if (item.id > highestId) highestId = item.id;
        if (kind == Kind::kAccept) pending[item.id] = item;
        else pending.erase(item.id);
        at += size;
    }
    return pending;
}

bool QueueFile::Open(const std::string& path, std::vector<std::string>& report, std::string& error)
{
    m_path = path;
    m_reopenable = false;
    std::string bytes;
    const int in = open(path.c_str(), O_RDONLY);
    if (in < 0 && errno != ENOENT) {
        error = "cannot read the queue file " + path + ": " + strerror(errno);
        return false;
    }
    if (in >= 0) {
        struct stat info;
        if (fstat(in, &info) != 0 || !S_ISREG(info.st_mode)) {
            close(in);
            error = "the queue file " + path + " is not a regular file";
            return false;
        }
        char buffer[65536];
        for (;;) {
            const ssize_t n = read(in, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) {
                error = "cannot read the queue file " + path + ": " + strerror(errno);
                close(in);
                return false;
            }
            if (n == 0) break;
            bytes.append(buffer, static_cast<size_t>(n));
        }
        close(in);
    }
    std::vector<std::string> damage;
    uint64_t highest = 0;
    m_pending = Parse(bytes, damage, highest);
    m_nextId = highest + 1;
    if (!damage.empty()) {
        // The damaged file stays for whoever wants to look at it; only what
        // could be read goes on.
        std::string aside = path + ".damaged";
        for (int n = 1; access(aside.c_str(), F_OK) == 0; ++n) aside = path + ".damaged." + std::to_string(n);
        const bool kept = rename(path.c_str(), aside.c_str()) == 0;
        for (const std::string& line : damage) report.push_back("queue file " + path + " is damaged: " + line);
        report.push_back("queue file " + path + ": kept " + std::to_string(m_pending.size()) +
                         " waiting texts that could be read; the damaged file " +
                         (kept ? "is kept as " + aside : "could not be moved aside: " + std::string(strerror(errno))));
    }
    return Rewrite(error);
}

bool QueueFile::Rewrite(std::string& error) { return Replace(error) && Reopen(error); }

bool QueueFile::Replace(std::string& error)
{
    const std::string temporary = m_path + ".new";
    unlink(temporary.c_str());
    const int out = m_disk.open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (out < 0) {
        error = "cannot write " + temporary + ": " + strerror(errno);
        return false;
    }
    std::string bytes(kMagic, sizeof kMagic);
    for (const auto& entry : m_pending) bytes += EncodeAccept(entry.second);
    const bool written = fchmod(out, 0600) == 0 && WriteAll(m_disk, out, bytes) && fsync(out) == 0;
    const int writeError = errno;
    if (close(out) != 0 || !written) {
        error = "cannot write " + temporary + ": " + strerror(written ? errno : writeError);
        unlink(temporary.c_str());
        return false;
    }
    if (rename(temporary.c_str(), m_path.c_str()) != 0) {
        error = "cannot replace " + m_path + ": " + strerror(errno);
        unlink(temporary.c_str());
        return false;
    }
    const int directory = open(Directory(m_path).c_str(), O_RDONLY | O_DIRECTORY);
    if (directory >= 0) {
        fsync(directory);
        close(directory);
    }
    // What was open is now an unlinked file: an append to it would be taken
    // for kept and be gone, so nothing may go there any more.
    if (m_fd >= 0) close(m_fd);
    m_fd = -1;
    m_reopenable = true;
    m_finished = 0;
    m_compactAfter = kCompactAfter;
    m_dirty = false;
    return true;
}

bool QueueFile::Reopen(std::string& error)
{
    m_fd = m_disk.open(m_path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC, 0);
    if (m_fd < 0) {
        error = m_path + " cannot be opened again after compacting it: " + strerror(errno) +
                "; new texts are refused until it can be";
        return false;
    }
    m_length = lseek(m_fd, 0, SEEK_END);
    return true;
}

std::vector<QueuedText> QueueFile::Pending() const
{
    std::vector<QueuedText> items;
    for (const auto& entry : m_pending) items.push_back(entry.second);
    return items;
}

bool QueueFile::Append(const std::string& record)
{
    std::string error = "the queue file " + m_path + " is not open";
    if (m_fd < 0 && !(m_reopenable && Reopen(error))) {
        m_report.push_back(error);
        return false;
    }
    // One write per record: a kill leaves a record whole or not at all, and
    // only a crash of the machine can cut one, which the checksum catches.
    if (WriteAll(m_disk, m_fd, record)) {
        m_length += static_cast<off_t>(record.size());
        m_dirty = true;
        return true;
    }
    error = "cannot write " + m_path + ": " + strerror(errno);
    // A full disk can take part of a record. Left there, it would stand
    // between the sound records and the next appends as damage.
    if (ftruncate(m_fd, m_length) != 0)
        error += "; the part written stays at its end, where reading skips it: " + std::string(strerror(errno));
    m_report.push_back(error);
    return false;
}

bool QueueFile::Accept(QueuedText& item)
{
    // Ids count on from the highest the file held, which a damaged file can
    // put so high that counting wraps round: a waiting text's id (or 0) is
    // never given again, or the new text would take the waiting one's place.
    do item.id = m_nextId++;
    while (item.id == 0 || m_pending.count(item.id) != 0);
    if (!Append(EncodeAccept(item))) return false;
    m_pending[item.id] = item;
    return true;
}

bool QueueFile::Done(uint64_t id)
{
    if (!m_pending.erase(id)) return false;
    if (!Append(EncodeDone(id))) {
        m_report.push_back("text #" + std::to_string(id) +
                           " was handed over but that is not recorded: it goes out again if smsd restarts before "
                           "the file is next compacted");
        return false;
    }
    ++m_finished;
    if (m_finished > m_compactAfter && m_finished > 2 * m_pending.size()) Compact();
    return true;
}

void QueueFile::Compact()
{
    Sync();
    std::string error;
    if (!Replace(error)) {
        m_compactAfter = m_finished + kCompactAfter;
        m_report.push_back("cannot compact the file, which stays as it was: " + error);
    } else if (!Reopen(error)) {
        m_report.push_back(error);
    }
}

void QueueFile::Sync()
{
    if (m_fd < 0 || !m_dirty) return;
    m_dirty = false;
    if (m_disk.sync(m_fd) == 0) return;
    // After a failed sync the kernel may forget the pages it could not
    // write: only a file written anew from memory is sure to hold them.
    const std::string line = "cannot sync " + m_path + ": " + strerror(errno);
    std::string error;
    m_report.push_back(line + (Rewrite(error) ? "; it was written anew" : "; writing it anew failed too: " + error));
}

std::vector<std::string> QueueFile::TakeReport()
{
    std::vector<std::string> report;
    report.swap(m_report);
    return report;
}

} // namespace smsd
