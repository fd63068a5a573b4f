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
// Record: u32 length, u32 CRC-32 of the body, body. Body: u8 kind, u64 id;
// kind 'A' (accepted) goes on with u32 recipient, u32 caller, i64 due time
// (0: at once), u32 text length and the text; kind 'D' (done) has nothing
// more. All integers little-endian.
#pragma once
#include <cstdint>
#include <ctime>
#include <map>
#include <string>
#include <vector>

namespace smsd {

struct QueuedText {
    uint64_t id = 0;
    uint32_t recipient = 0;
    uint32_t caller = 0;
    time_t due = 0;          // 0: deliver as soon as the recipient is online
    std::string text;        // the service text, as the recipient gets it
};

class QueueFile {
public:
    QueueFile() = default;
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
    // failed (the text is then kept only in memory).
    bool Accept(QueuedText& item);
    // Records that the text's bytes were handed to its recipient's link.
    bool Done(uint64_t id);
    // Forces what was appended to the disk.
    void Sync();
    bool IsOpen() const { return m_fd >= 0; }
    const std::string& Path() const { return m_path; }

    // Parses journal bytes: the pending texts, and one line per damaged
    // stretch (skipped, with reading resumed at the next sound record).
    static std::map<uint64_t, QueuedText> Parse(const std::string& bytes, std::vector<std::string>& damage,
                                                uint64_t& highestId);
    static std::string EncodeAccept(const QueuedText& item);
    static std::string EncodeDone(uint64_t id);
    static const char kMagic[8];

private:
    bool Append(const std::string& record);
    bool Rewrite(std::string& error);

    std::string m_path;
    int m_fd = -1;
    std::map<uint64_t, QueuedText> m_pending;
    uint64_t m_nextId = 1;
    size_t m_finished = 0; // done records (and their accepts) in the file
    bool m_dirty = false;
};

} // namespace smsd
