// The file in which smsd keeps every text it has taken on and not yet handed
// to its recipient's link, so that a restart (even after kill -9) loses none
// and repeats none that it knew to be handed over.
//
// It is an append-only journal rather than a file rewritten on every change:
// taking on a message then costs one append instead of rewriting the whole
// queue, which a burst of thousands would make quadratic, and an append that
// a kill cuts short damages only its own last record, which the reader
// recognises by its length and checksum. The journal is compacted (written
// to a temporary file, synced, renamed over the old one) when it is opened
// and whenever finished records outweigh the waiting ones.
//
// A disk that is full or failing never costs a text already taken on: an
// append it refuses, or takes only part of, is cut back to the last sound
// record and reported, so that the caller refuses that one text; a failed
// compaction leaves the old file in place.
//
// Record: u32 length, u32 CRC-32 of the body, body. Body: u8 kind, u64 id;
// kind 'A' (accepted) goes on with u32 recipient, u32 caller, i64 due time
// (0: at once), u32 text length and the text; kind 'D' (done) has nothing
// more. All integers little-endian.
#pragma once
#include <cstdint>
#include <ctime>
#include <fcntl.h>
#include <functional>
#include <map>
#include <string>
#include <unistd.h>
#include <vector>

namespace smsd {

// The calls through which the queue file writes, so that tests can make the
// disk fail the way a full or broken one does.
struct DiskCalls {
    std::function<ssize_t(int fd, const void* data, size_t size)> write = ::write;
    std::function<int(const char* path, int flags, mode_t mode)> open = [](const char* path, int flags, mode_t mode) {
        return ::open(path, flags, mode);
    };
    std::function<int(int fd)> sync = ::fdatasync;
};

struct QueuedText {
    uint64_t id = 0;
    uint32_t recipient = 0;
    uint32_t caller = 0;
    time_t due = 0;          // 0: deliver as soon as the recipient is online
    std::string text;        // the service text, as the recipient gets it
};

class QueueFile {
public:
    explicit QueueFile(DiskCalls disk = DiskCalls()) : m_disk(std::move(disk)) {}
    ~QueueFile();
    QueueFile(const QueueFile&) = delete;
    QueueFile& operator=(const QueueFile&) = delete;

    // Reads what the file holds (a missing file is an empty queue), keeps a
    // damaged file aside under a name of its own, and leaves a compacted file
    // of mode 0600 open for appending. `report` gets one line per damage
    // found. False only when the file cannot be created or written at all
    // (`error` says why); damage alone never fails.
    bool Open(const std::string& path, std::vector<std::string>& report, std::string& error);

    // The texts accepted and not done, oldest first.
    std::vector<QueuedText> Pending() const;

    // Records a newly accepted text; gives it its id. False when the append
    // failed: the file then holds nothing of the text, which is not waiting.
    bool Accept(QueuedText& item);
    // Records that the text's bytes were handed to its recipient's link.
    // False when the text was not waiting, or when its record could not be
    // appended (the text then goes out again after a restart).
    bool Done(uint64_t id);
    // Forces what was appended to the disk.
    void Sync();
    // One line for each failure since the last call: appends, compactions
    // and syncs that failed, and what became of the file.
    std::vector<std::string> TakeReport();
    bool IsOpen() const { return m_fd >= 0; }
    const std::string& Path() const { return m_path; }

    // Parses journal bytes: the pending texts, and one line per damaged
    // stretch (skipped, with reading resumed at the next sound record).
    static std::map<uint64_t, QueuedText> Parse(const std::string& bytes, std::vector<std::string>& damage,
                                                uint64_t& highestId);
    static std::string EncodeAccept(const QueuedText& item);
    static std::string EncodeDone(uint64_t id);
    static const char kMagic[8];
    static const size_t kCompactAfter = 1024; // finished records

private:
    bool Append(const std::string& record);
    // Writes the waiting texts to a new file and puts it in the old one's
    // place; false when the old one is still in place, as it was.
    bool Replace(std::string& error);
    bool Reopen(std::string& error);
    bool Rewrite(std::string& error);
    void Compact();

    DiskCalls m_disk;
    std::string m_path;
    int m_fd = -1;
    // The file at m_path is the one this object wrote last, so appends may
    // open it again when the open after a compaction failed.
    bool m_reopenable = false;
    off_t m_length = 0; // of the sound records in the file
    std::map<uint64_t, QueuedText> m_pending;
    uint64_t m_nextId = 1;
    size_t m_finished = 0; // done records (and their accepts) in the file
    // Pushed on after a failed compaction, so that a full disk is not asked
    // to take the whole queue again at every delivery.
    size_t m_compactAfter = kCompactAfter;
    std::vector<std::string> m_report;
    bool m_dirty = false;
};

} // namespace smsd
