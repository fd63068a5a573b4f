#include "store_repair.h"

#include "account_file.h"
#include "byte_reader.h"
#include "message_store.h"
#include "sms_record.h"
#include "store_journal.h"

#include <windows.h>
#include <db.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

typedef std::string Bytes;

bool EndsWith(const Bytes& text, const char* tail)
{
    const size_t length = strlen(tail);
    return text.size() >= length && text.compare(text.size() - length, length, tail) == 0;
}

// One counted string, exactly as the store writes it: a length that fits,
// and the text's only NUL at its end.
bool SkipCounted(const unsigned char*& cursor, const unsigned char* end)
{
    if (end - cursor < 2) return false;
    const int length = cursor[0] | cursor[1] << 8;
    cursor += 2;
    if (length < 1 || length > end - cursor) return false;
    if (cursor[length - 1] != 0 || memchr(cursor, 0, length - 1)) return false;
    cursor += length;
    return true;
}

// The record decoder reads anything, filling in what is missing; salvaged
// bytes are only taken for a record when they are one record and nothing
// else, with a peer to file it under.
bool DecodeRecord(const Bytes& value, CSmsRecord& record)
{
    const unsigned char* cursor = reinterpret_cast<const unsigned char*>(value.data());
    const unsigned char* end = cursor + value.size();
    if (cursor == end) return false;
    switch (*cursor++) {
    case CSmsRecord::KIND_UNDELIVERED:
    case CSmsRecord::KIND_SENT:
    case CSmsRecord::KIND_SCHEDULED:
    case CSmsRecord::KIND_RECEIVED:
    case CSmsRecord::KIND_NEW:
        break;
    default:
        return false;
    }
    for (int field = 0; field < 3; ++field)
        if (!SkipCounted(cursor, end)) return false;
    if (cursor != end) return false;
    CByteReader reader(value.data(), static_cast<int>(value.size()));
    record.Load(reader);
    return !record.peer.IsEmpty();
}

bool IsSignature(const Bytes& value)
{
    const unsigned char* cursor = reinterpret_cast<const unsigned char*>(value.data());
    const unsigned char* end = cursor + value.size();
    return SkipCounted(cursor, end) && cursor == end;
}

struct Value {
    Bytes bytes;
    CString time;
};

typedef std::vector<std::pair<Bytes, Value>> Pairs; // peer, value; in file order
typedef std::map<Bytes, Pairs> ByAccount;

// What the salvage found, by the database it was in.
class Findings {
public:
    explicit Findings(const char* orphanAccount) : m_orphanAccount(orphanAccount ? orphanAccount : "") {}

    void Add(const Bytes& database, const Bytes& key, const Bytes& value)
    {
        CSmsRecord record;
        if (EndsWith(database, CAccountFile::kUnreadSuffix)) {
            if (!DecodeRecord(value, record)) return Malformed();
            m_unread[database.substr(0, database.size() - 6)].push_back({Bytes(record.peer), {value, record.time}});
        } else if (EndsWith(database, CAccountFile::kHistorySuffix)) {
            if (!DecodeRecord(value, record)) return Malformed();
            m_history[database.substr(0, database.size() - 5)].push_back({Bytes(record.peer), {value, record.time}});
        } else if (EndsWith(database, CAccountFile::kSignatureSuffix)) {
            if (key != "sign" || !IsSignature(value)) return Malformed();
            m_signatures[database.substr(0, database.size() - 5)] = value;
        } else if (DecodeRecord(value, record)) {
            m_orphans.push_back({Bytes(record.peer), {value, record.time}});
        } else if (key == "sign" && IsSignature(value)) {
            m_orphanSignature = value;
        } else if (value.size() == 4 &&
                   (EndsWith(key, CAccountFile::kHistorySuffix) || EndsWith(key, CAccountFile::kSignatureSuffix))) {
            // The file's own list of its databases, found without its page.
        } else {
            Malformed();
        }
    }

    void Malformed() { ++m_counts.malformed; }

    bool Empty() const
    {
        return m_history.empty() && m_unread.empty() && m_signatures.empty() && m_orphans.empty() &&
               m_orphanSignature.empty();
    }

    // Orphans join the history of their peer where their time puts them
    // (newest first), unless the same value was found in place.
    void FileOrphans()
    {
        if (!m_orphanSignature.empty() && !m_signatures.count(m_orphanAccount))
            m_signatures[m_orphanAccount] = m_orphanSignature;
        if (m_orphans.empty()) return;
        Pairs& history = m_history[m_orphanAccount];
        for (const auto& orphan : m_orphans) {
            bool known = false;
            auto place = history.end();
            auto last = history.end();
            for (auto it = history.begin(); it != history.end(); ++it) {
                if (it->first != orphan.first) continue;
                if (it->second.bytes == orphan.second.bytes) {
                    known = true;
                    break;
                }
                last = it;
                if (place == history.end() && strcmp(it->second.time, orphan.second.time) < 0) place = it;
            }
            if (known) continue;
            if (place == history.end() && last != history.end()) place = last + 1;
            history.insert(place, orphan);
            ++m_counts.orphans;
        }
    }

    bool Write(const char* path)
    {
        bool ok = true;
        for (const auto& signature : m_signatures) {
            const Bytes name = signature.first + CAccountFile::kSignatureSuffix;
            ok = WriteDatabase(path, name, false, {{"sign", {signature.second, CString()}}}) && ok;
            m_counts.signature = true;
        }
        for (const auto& history : m_history) {
            ok = WriteDatabase(path, history.first + CAccountFile::kHistorySuffix, true, history.second) && ok;
            m_counts.history += static_cast<int>(history.second.size());
        }
        for (const auto& unread : m_unread) {
            ok = WriteDatabase(path, unread.first + CAccountFile::kUnreadSuffix, true, unread.second) && ok;
            m_counts.unread += static_cast<int>(unread.second.size());
        }
        return ok;
    }

    const CStoreRepair::Counts& Counts() const { return m_counts; }

private:
    static bool WriteDatabase(const char* path, const Bytes& name, bool duplicates, const Pairs& pairs)
    {
        CAccountFile::DbCreateFunction create = CAccountFile::DbCreate();
        DB* db = nullptr;
        if (!create || create(&db, nullptr, 0) != 0 || !db) return false;
        CAccountFile::Quiet(db);
        DBC* cursor = nullptr;
        bool ok = (!duplicates || db->set_flags(db, DB_DUP) == 0) &&
                  db->open(db, nullptr, path, name.c_str(), DB_HASH, DB_CREATE, 0600) == 0 &&
                  db->cursor(db, nullptr, &cursor, 0) == 0;
        // In file order, each after the key's earlier values: the history
        // stays newest first and the queue oldest first.
        for (size_t i = 0; ok && i < pairs.size(); ++i) {
            DBT key, data;
            memset(&key, 0, sizeof key);
            memset(&data, 0, sizeof data);
            key.data = const_cast<char*>(pairs[i].first.data());
            key.size = static_cast<u_int32_t>(pairs[i].first.size());
            data.data = const_cast<char*>(pairs[i].second.bytes.data());
            data.size = static_cast<u_int32_t>(pairs[i].second.bytes.size());
            ok = cursor->c_put(cursor, &key, &data, DB_KEYLAST) == 0;
        }
        if (cursor) cursor->c_close(cursor);
        return db->close(db, 0) == 0 && ok;
    }

    Bytes m_orphanAccount;
    ByAccount m_history;
    ByAccount m_unread;
    std::map<Bytes, Bytes> m_signatures;
    Pairs m_orphans;
    Bytes m_orphanSignature;
    CStoreRepair::Counts m_counts;
};

int HexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool FromHex(const char* text, size_t length, Bytes& out)
{
    if (length % 2) return false;
    out.clear();
    out.reserve(length / 2);
    for (size_t i = 0; i < length; i += 2) {
        const int high = HexDigit(text[i]), low = HexDigit(text[i + 1]);
        if (high < 0 || low < 0) return false;
        out.push_back(static_cast<char>(high << 4 | low));
    }
    return true;
}

// A header value in the library's printable form: "\\" and "\xx" escapes.
Bytes Unescape(const char* text, size_t length)
{
    Bytes out;
    for (size_t i = 0; i < length; ++i) {
        if (text[i] == '\\' && i + 1 < length && text[i + 1] == '\\') {
            out.push_back('\\');
            ++i;
        } else if (text[i] == '\\' && i + 2 < length && HexDigit(text[i + 1]) >= 0 && HexDigit(text[i + 2]) >= 0) {
            out.push_back(static_cast<char>(HexDigit(text[i + 1]) << 4 | HexDigit(text[i + 2])));
            i += 2;
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

// The salvage's output: per database a header ("database=NAME" up to
// "HEADER=END"), then key and value lines in hex, each starting with a
// space, up to "DATA=END". Pairs outside a named database's section belong
// to none that is known.
void Parse(const Bytes& dump, Findings& findings)
{
    Bytes database;
    bool inHeader = false;
    bool haveKey = false;
    Bytes key, bytes;
    size_t start = 0;
    while (start < dump.size()) {
        size_t end = dump.find('\n', start);
        if (end == Bytes::npos) end = dump.size();
        size_t stop = end;
        if (stop > start && dump[stop - 1] == '\r') --stop;
        const char* line = dump.data() + start;
        const size_t length = stop - start;
        start = end + 1;
        if (length > 0 && line[0] == ' ') {
            if (inHeader) continue;
            if (!FromHex(line + 1, length - 1, bytes)) {
                // A line that is not hex spoils its pair.
                if (haveKey) findings.Malformed();
                haveKey = false;
                continue;
            }
            if (!haveKey) {
                key.swap(bytes);
                haveKey = true;
            } else {
                findings.Add(database, key, bytes);
                haveKey = false;
            }
            continue;
        }
        const Bytes text(line, length);
        if (text.compare(0, 8, "VERSION=") == 0) {
            inHeader = true;
            database.clear();
        } else if (inHeader && text.compare(0, 9, "database=") == 0) {
            database = Unescape(line + 9, length - 9);
        } else if (text == "HEADER=END") {
            inHeader = false;
        } else if (text == "DATA=END") {
            database.clear();
        }
        if (haveKey && !inHeader && text != "HEADER=END") {
            findings.Malformed();
            haveKey = false;
        }
    }
    if (haveKey) findings.Malformed();
}

// The library writes its salvage to a stream; a temporary file takes it.
bool RunSalvage(const char* path, u_int32_t flags, Bytes& dump)
{
    dump.clear();
    char directory[MAX_PATH], name[MAX_PATH];
    if (!::GetTempPathA(MAX_PATH, directory) || !::GetTempFileNameA(directory, "sms", 0, name)) return false;
    FILE* out = fopen(name, "w+b");
    if (!out) {
        ::DeleteFileA(name);
        return false;
    }
    CAccountFile::DbCreateFunction create = CAccountFile::DbCreate();
    DB* db = nullptr;
    if (create && create(&db, nullptr, 0) == 0 && db) {
        CAccountFile::Quiet(db);
        // The handle is gone after verify, whatever it answers; what it
        // found wrong shows as what is missing from the output.
        db->verify(db, path, nullptr, out, flags);
    }
    fflush(out);
    fseek(out, 0, SEEK_SET);
    char buffer[65536];
    size_t read;
    while ((read = fread(buffer, 1, sizeof buffer, out)) > 0) dump.append(buffer, read);
    fclose(out);
    ::DeleteFileA(name);
    return true;
}


// The library trusts the first page to say what the file is, and its
// checker can crash on a first page of garbage (one that claims encryption,
// say). Only a file that starts like one of the library's, unencrypted, is
// handed to it.
bool LooksLikeDatabase(const char* path)
{
    HANDLE file =
        ::CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    unsigned char page[32] = {};
    DWORD read = 0;
    const BOOL ok = ::ReadFile(file, page, sizeof page, &read, nullptr);
    LARGE_INTEGER size = {};
    ::GetFileSizeEx(file, &size);
    ::CloseHandle(file);
    if (!ok || read != sizeof page) return false;
    auto little = [&page](int at) {
        return static_cast<unsigned>(page[at] | page[at + 1] << 8 | page[at + 2] << 16 |
                                     static_cast<unsigned>(page[at + 3]) << 24);
    };
    auto big = [&page](int at) {
        return static_cast<unsigned>(static_cast<unsigned>(page[at]) << 24 | page[at + 1] << 16 | page[at + 2] << 8 |
                                     page[at + 3]);
    };
    const unsigned kBtreeMagic = 0x053162, kHashMagic = 0x061561;
    unsigned pageSize;
    if (little(12) == kBtreeMagic || little(12) == kHashMagic)
        pageSize = little(20);
    else if (big(12) == kBtreeMagic || big(12) == kHashMagic)
        pageSize = big(20);
    else
        return false;
    const unsigned encryption = page[24], type = page[25];
    const bool powerOfTwo = pageSize >= 512 && pageSize <= 65536 && (pageSize & (pageSize - 1)) == 0;
    return powerOfTwo && encryption == 0 && (type == 8 || type == 9) && size.QuadPart >= pageSize;
}

CString DamagedName(const CString& path)
{
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    CString base;
    base.Format("%s.damaged-%04u%02u%02u-%02u%02u%02u", (const char*)path, now.wYear, now.wMonth, now.wDay, now.wHour,
                now.wMinute, now.wSecond);
    CString name = base;
    for (int n = 2; CAccountFile::Exists(name); ++n) name.Format("%s-%d", (const char*)base, n);
    return name;
}

} // namespace

bool CStoreRepair::DecodeValue(const void* data, int size, CSmsRecord& record)
{
    if (!data || size < 0) return false;
    return DecodeRecord(Bytes(static_cast<const char*>(data), size), record);
}

CStoreRepair::FileState CStoreRepair::Verify(const char* path)
{
    const DWORD attributes = ::GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) return FILE_MISSING;
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) || !LooksLikeDatabase(path)) return FILE_DAMAGED;
    CAccountFile::DbCreateFunction create = CAccountFile::DbCreate();
    DB* db = nullptr;
    if (!create || create(&db, nullptr, 0) != 0 || !db) return FILE_DAMAGED;
    CAccountFile::Quiet(db);
    // verify releases the handle itself.
    return db->verify(db, path, nullptr, nullptr, 0) == 0 ? FILE_GOOD : FILE_DAMAGED;
}

bool CStoreRepair::Salvage(const char* path, const char* newPath, const char* orphanAccount, Counts* counts)
{
    if (counts) *counts = Counts();
    if (CAccountFile::Exists(newPath)) return false;
    const DWORD attributes = ::GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
    if (!LooksLikeDatabase(path)) return false;

    Findings findings(orphanAccount);
    Bytes dump;
    if (!RunSalvage(path, DB_SALVAGE, dump)) return false;
    Parse(dump, findings);
    if (findings.Empty()) {
        // Without the pages that tie the file together the careful salvage
        // finds nothing; the aggressive one reads every page, deleted
        // values included, so an unread message that was already taken may
        // come back. Seeing one twice is better than losing the history.
        Findings aggressive(orphanAccount);
        if (!RunSalvage(path, DB_SALVAGE | DB_AGGRESSIVE, dump)) return false;
        Parse(dump, aggressive);
        findings = aggressive;
    }
    if (findings.Empty()) {
        if (counts) *counts = findings.Counts();
        return false;
    }
    findings.FileOrphans();
    const bool written = findings.Write(newPath);
    if (counts) *counts = findings.Counts();
    if (!written) ::DeleteFileA(newPath);
    return written;
}

CStoreRepair::Outcome CStoreRepair::CheckAccountFile(CString* movedTo, Counts* counts)
{
    CAccountFile::ThreadTurn turn;
    if (movedTo) movedTo->Empty();
    if (counts) *counts = Counts();
    // Without the library nothing can be judged, and a good file must not
    // be moved aside for it.
    if (!CAccountFile::DbCreate()) return LOGIN_FAILED;
    const CAccountFile file = CAccountFile::Current();
    CAccountFile::Lock lock(file, true);
    if (!lock.Held()) return LOGIN_FAILED;
    // A change that a process did not finish is made again from the
    // journal before the file is judged; the check then starts a new one.
    CStoreJournal::Recover(file, lock.Journal());
    const Outcome outcome = CheckFile(file, movedTo, counts);
    // A log-in costs a copy of the file only after changes, or when the
    // check replaced the file.
    const bool replaced = outcome == LOGIN_REPAIRED || outcome == LOGIN_MOVED;
    if (outcome != LOGIN_FAILED && (replaced || CStoreJournal::HasChanges(lock.Journal())))
        CStoreJournal::Checkpoint(file, lock.Journal());
    return outcome;
}

CStoreRepair::Outcome CStoreRepair::CheckFile(const CAccountFile& file, CString* movedTo, Counts* counts)
{
    const CString& path = file.Path();
    const CString salvaged = path + ".salvaged";
    switch (Verify(path)) {
    case FILE_MISSING:
        // A salvage that was done when the process ended before it took the
        // file's place.
        if (CAccountFile::Exists(salvaged) && Verify(salvaged) == FILE_GOOD && ::MoveFileA(salvaged, path)) return LOGIN_GOOD;
        return LOGIN_NOTHING;
    case FILE_GOOD:
        return LOGIN_GOOD;
    case FILE_DAMAGED:
        break;
    }
    // Left by a salvage that did not finish; the damaged file is still here.
    ::DeleteFileA(salvaged);
    // Salvage writes through the library, which must never meet a full
    // disk: without room the damaged file stays and the check fails.
    WIN32_FILE_ATTRIBUTE_DATA size = {};
    ::GetFileAttributesExA(path, GetFileExInfoStandard, &size);
    if (!file.HasRoomFor((static_cast<size_t>(size.nFileSizeHigh) << 32) + size.nFileSizeLow)) return LOGIN_FAILED;
    const bool rescued = Salvage(path, salvaged, CurrentAccountId, counts);
    const CString damaged = DamagedName(path);
    if (!::MoveFileA(path, damaged)) {
        ::DeleteFileA(salvaged);
        return LOGIN_FAILED;
    }
    if (movedTo) *movedTo = damaged;
    if (rescued && ::MoveFileA(salvaged, path)) return LOGIN_REPAIRED;
    ::DeleteFileA(salvaged);
    return LOGIN_MOVED;
}
