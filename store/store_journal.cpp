#include "store_journal.h"

#include "common/crc32.h"
#include "common/little_endian.h"

#include <db.h>

#include <map>
#include <vector>

namespace {

const char kMagic[8] = {'S', 'M', 'S', 'J', 'R', 'N', 'L', '2'};
const int kHeaderSize = 32;
const int kEntryHeaderSize = 8;
// The snapshot was taken when there was no file: the journal starts from
// nothing.
const unsigned kFromNothing = 1;
// A journal longer than this and than the file itself starts again from a
// new snapshot: the copy is then paid for by as many bytes of changes.
const long long kCheckpointBytes = 4 * 1024 * 1024;

// `start` is where the snapshot's changes begin: a new snapshot moves it to
// the end before the old changes are cut away, so a process ended between
// the two steps leaves no change counted twice.
struct Header {
    unsigned long long generation = 0;
    long long start = kHeaderSize;
    unsigned flags = 0;
};

std::string EncodeHeader(const Header& header)
{
    std::string out(kMagic, sizeof kMagic);
    PutLittle(out, header.generation, 8);
    PutLittle(out, static_cast<unsigned long long>(header.start), 8);
    PutLittle(out, header.flags, 4);
    PutLittle(out, Crc32(out.data(), out.size()), 4);
    return out;
}

bool DecodeHeader(const std::string& bytes, Header& header)
{
    if (bytes.size() < kHeaderSize || bytes.compare(0, sizeof kMagic, kMagic, sizeof kMagic) != 0) return false;
    if (GetLittle(bytes, 28, 4) != Crc32(bytes.data(), 28)) return false;
    header.generation = GetLittle(bytes, 8, 8);
    header.start = static_cast<long long>(GetLittle(bytes, 16, 8));
    header.flags = static_cast<unsigned>(GetLittle(bytes, 24, 4));
    return header.start >= kHeaderSize;
}

struct Entry {
    CStoreChange change;
    char status = 0; // 0: the process ended before the library was done
};

// What follows the header, from `at`: the whole entries, and whether any
// change did not end (no status, a torn one, or one given up part way).
struct Entries {
    std::vector<Entry> entries;
    bool unfinished = false;
};

Entries ParseEntries(const std::string& bytes, size_t at)
{
    Entries parsed;
    while (at < bytes.size()) {
        if (bytes.size() - at < kEntryHeaderSize) break;
        const size_t length = static_cast<size_t>(GetLittle(bytes, at, 4));
        const unsigned crc = static_cast<unsigned>(GetLittle(bytes, at + 4, 4));
        const size_t body = at + kEntryHeaderSize;
        if (bytes.size() - body < length || Crc32(&bytes[body], length) != crc) break;
        Entry entry;
        if (!entry.change.Decode(bytes.substr(body, length))) break;
        at = body + length;
        if (at < bytes.size()) entry.status = bytes[at++];
        if (entry.status != CStoreJournal::STATUS_DONE && entry.status != CStoreJournal::STATUS_ABORTED)
            parsed.unfinished = true;
        parsed.entries.push_back(entry);
    }
    // Bytes that are no whole entry: a process ended while appending.
    if (at < bytes.size()) parsed.unfinished = true;
    return parsed;
}

OVERLAPPED At(long long offset)
{
    OVERLAPPED at = {};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return at;
}

// Reads and writes name their offset: the journal has no file position to
// keep right between them.
bool WriteAt(HANDLE file, long long offset, const std::string& bytes)
{
    OVERLAPPED at = At(offset);
    DWORD written = 0;
    return ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, &at) && written == bytes.size();
}

bool ReadAt(HANDLE file, long long offset, std::string& bytes)
{
    OVERLAPPED at = At(offset);
    DWORD read = 0;
    return bytes.empty() ||
           (::ReadFile(file, &bytes[0], static_cast<DWORD>(bytes.size()), &read, &at) && read == bytes.size());
}

long long SizeOf(HANDLE file)
{
    LARGE_INTEGER size = {};
    return ::GetFileSizeEx(file, &size) ? size.QuadPart : -1;
}

// The bytes of an open file from `offset` to its end.
bool ReadFrom(HANDLE file, long long offset, std::string& bytes)
{
    const long long size = SizeOf(file);
    if (size < 0) return false;
    bytes.assign(static_cast<size_t>(size > offset ? size - offset : 0), '\0');
    return ReadAt(file, offset, bytes);
}

bool ReadHeader(HANDLE journal, Header& header)
{
    std::string bytes(kHeaderSize, '\0');
    return ReadAt(journal, 0, bytes) && DecodeHeader(bytes, header);
}

bool CutAt(HANDLE journal, long long length)
{
    LARGE_INTEGER at;
    at.QuadPart = length;
    return ::SetFilePointerEx(journal, at, nullptr, FILE_BEGIN) && ::SetEndOfFile(journal);
}

CString SnapshotPath(const CAccountFile& file, unsigned long long generation)
{
    CString path;
    path.Format("%s.snapshot-%llu", (const char*)file.Path(), generation);
    return path;
}


// Where this process's last change to a journal ended, so that the next one
// reads only what other processes appended since.
struct KnownEnd {
    unsigned long long generation = 0;
    long long end = 0;
};
std::map<std::string, KnownEnd> g_knownEnds;

// Makes the changes in `entries` that were not given up, on the file at
// `path`: one handle per database in turn, each database's changes in their
// order (changes to different databases do not depend on each other).
bool Replay(const CString& path, const std::vector<Entry>& entries)
{
    std::vector<std::string> order;
    std::map<std::string, std::vector<const CStoreChange*>> byDatabase;
    for (const Entry& entry : entries) {
        if (entry.status == CStoreJournal::STATUS_ABORTED || entry.status == CStoreJournal::STATUS_TORN) continue;
        auto& changes = byDatabase[entry.change.database];
        if (changes.empty()) order.push_back(entry.change.database);
        changes.push_back(&entry.change);
    }
    CAccountFile::DbCreateFunction create = CAccountFile::DbCreate();
    for (const std::string& database : order) {
        const std::vector<const CStoreChange*>& changes = byDatabase[database];
        DB* db = nullptr;
        if (!create || create(&db, nullptr, 0) != 0 || !db) return false;
        CAccountFile::Quiet(db);
        DBC* cursor = nullptr;
        bool ok = (!changes.front()->duplicates || db->set_flags(db, DB_DUP) == 0) &&
                  db->open(db, nullptr, path, database.c_str(), DB_HASH, DB_CREATE, 0600) == 0 &&
                  db->cursor(db, nullptr, &cursor, 0) == 0;
        for (size_t i = 0; ok && i < changes.size(); ++i) ok = changes[i]->Apply(cursor);
        if (cursor) cursor->c_close(cursor);
        ok = db->close(db, 0) == 0 && ok;
        if (!ok) return false;
    }
    return true;
}

} // namespace

CStoreJournal::CStoreJournal(const CAccountFile& file, HANDLE journal) : m_file(file), m_hJournal(journal) {}

bool CStoreJournal::Open()
{
    // At most: start a journal, then make the file again after another
    // process's unfinished change, then open.
    for (int attempt = 0; attempt < 3; ++attempt) {
        Header header;
        const long long size = SizeOf(m_hJournal);
        if (size < 0) return false;
        if (!ReadHeader(m_hJournal, header) || header.start > size) {
            if (!Checkpoint(m_file, m_hJournal)) return false;
            continue;
        }
        // Only what other processes appended since this process's last
        // change is read: normally nothing.
        const KnownEnd known = g_knownEnds[(const char*)m_file.Path()];
        const bool sameRun = known.generation == header.generation && known.end >= header.start && known.end <= size;
        std::string appended;
        if (ReadFrom(m_hJournal, sameRun ? known.end : header.start, appended) &&
            !ParseEntries(appended, 0).unfinished) {
            m_nGeneration = header.generation;
            m_nEnd = size;
            g_knownEnds[(const char*)m_file.Path()] = {m_nGeneration, m_nEnd};
            return true;
        }
        if (Recover(m_file, m_hJournal) == RECOVERY_FAILED) return false;
    }
    return false;
}

bool CStoreJournal::Append(const CStoreChange& change)
{
    const std::string body = change.Encode();
    std::string entry;
    PutLittle(entry, body.size(), 4);
    PutLittle(entry, Crc32(body.data(), body.size()), 4);
    entry += body;
    if (WriteAt(m_hJournal, m_nEnd, entry)) {
        m_nAppended = m_nEnd + static_cast<long long>(entry.size());
        return true;
    }
    // A part of an entry would read as a process that ended mid-change.
    CutAt(m_hJournal, m_nEnd);
    return false;
}

void CStoreJournal::End(Status status)
{
    if (m_nAppended < 0) return;
    // Without its status the change reads as unfinished, and the next
    // change or log-in makes the file again: nothing is lost either way.
    if (WriteAt(m_hJournal, m_nAppended, std::string(1, static_cast<char>(status)))) {
        m_nEnd = m_nAppended + 1;
        g_knownEnds[(const char*)m_file.Path()] = {m_nGeneration, m_nEnd};
    }
    m_nAppended = -1;
    if (status == STATUS_TORN) {
        Recover(m_file, m_hJournal);
        return;
    }
    if (m_nEnd < kCheckpointBytes) return;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (::GetFileAttributesExA(m_file.Path(), GetFileExInfoStandard, &data) &&
        (static_cast<long long>(data.nFileSizeHigh) << 32 | data.nFileSizeLow) > m_nEnd)
        return;
    Checkpoint(m_file, m_hJournal);
}

CStoreJournal::Recovery CStoreJournal::Recover(const CAccountFile& file, HANDLE journal)
{
    Header header;
    std::string bytes;
    if (!ReadHeader(journal, header) || !ReadFrom(journal, header.start, bytes)) return RECOVERY_NONE;
    const Entries parsed = ParseEntries(bytes, 0);
    if (!parsed.unfinished) return RECOVERY_NONE;
    // The library writes the new file, and must never meet a full disk.
    WIN32_FILE_ATTRIBUTE_DATA snapshot = {};
    ::GetFileAttributesExA(SnapshotPath(file, header.generation), GetFileExInfoStandard, &snapshot);
    if (!file.HasRoomFor((static_cast<size_t>(snapshot.nFileSizeHigh) << 32) + snapshot.nFileSizeLow + bytes.size()))
        return RECOVERY_FAILED;
    const CString rebuild = file.Path() + ".rebuild";
    ::DeleteFileA(rebuild);
    if (!(header.flags & kFromNothing) && !::CopyFileA(SnapshotPath(file, header.generation), rebuild, FALSE))
        return RECOVERY_FAILED;
    if (!Replay(rebuild, parsed.entries)) {
        ::DeleteFileA(rebuild);
        return RECOVERY_FAILED;
    }
    // Nothing to make and nothing there before: there is no file.
    if (!CAccountFile::Exists(rebuild)) {
        ::DeleteFileA(file.Path());
    } else if (!::MoveFileExA(rebuild, file.Path(), MOVEFILE_REPLACE_EXISTING)) {
        ::DeleteFileA(rebuild);
        return RECOVERY_FAILED;
    }
    // Until the new snapshot stands, the old one and the journal make the
    // same file again.
    Checkpoint(file, journal);
    return RECOVERY_REBUILT;
}

bool CStoreJournal::HasChanges(HANDLE journal)
{
    Header header;
    return !ReadHeader(journal, header) || SizeOf(journal) > header.start;
}

bool CStoreJournal::Checkpoint(const CAccountFile& file, HANDLE journal)
{
    Header old;
    const bool hadJournal = ReadHeader(journal, old);
    const long long size = SizeOf(journal);
    if (size < 0) return false;
    Header fresh;
    fresh.generation = hadJournal ? old.generation + 1 : 1;
    const CString snapshot = SnapshotPath(file, fresh.generation);
    if (!CAccountFile::Exists(file.Path())) {
        fresh.flags = kFromNothing;
    } else if (!::CopyFileA(file.Path(), snapshot, FALSE)) {
        ::DeleteFileA(snapshot);
        return false;
    }
    // First past every change the snapshot holds, then the journal cut
    // back to its header, then the changes starting right after it.
    fresh.start = size > kHeaderSize ? size : kHeaderSize;
    const bool written = WriteAt(journal, 0, EncodeHeader(fresh));
    if (written && CutAt(journal, kHeaderSize)) {
        fresh.start = kHeaderSize;
        WriteAt(journal, 0, EncodeHeader(fresh));
    }
    if (!written) {
        ::DeleteFileA(snapshot);
        return false;
    }
    if (hadJournal && old.generation != fresh.generation) ::DeleteFileA(SnapshotPath(file, old.generation));
    g_knownEnds[(const char*)file.Path()] = {fresh.generation, SizeOf(journal)};
    return true;
}
