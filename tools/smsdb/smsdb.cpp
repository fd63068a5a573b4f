// smsdb: the message store file for people. Lists what it holds, prints or
// exports one contact's history, shows the unread queue, and checks or
// salvages a file. Texts are GBK in the file and UTF-8 here.
//   smsdb FILE accounts                       accounts, with counts and signature
//   smsdb FILE contacts ACCOUNT               contacts with history, newest first
//   smsdb FILE history ACCOUNT PEER [--csv|--json]
//   smsdb FILE unread ACCOUNT [--csv|--json]
//   smsdb FILE verify                         "good" (0), "damaged" (1)
//   smsdb FILE salvage NEWFILE [ACCOUNT]      what can be read, into NEWFILE
// Reading opens the file read-only and holds the store's shared lock
// meanwhile: the module changes the file in place, and waits for the tool as
// the tool waits for it.
// Errors are one line on the standard error and exit status 1; a wrong
// command line is status 2.
#include "account_file.h"
#include "byte_reader.h"
#include "common/command_line.h"
#include "message_store.h"
#include "sms_record.h"
#include "store_repair.h"

#include <db.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>
#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace {

const char* const kHistory = CAccountFile::kHistorySuffix;
const char* const kUnread = CAccountFile::kUnreadSuffix;
const char* const kSignature = CAccountFile::kSignatureSuffix;

struct Failure {
    std::string what;
};

std::string Utf8(const char* gbk, size_t length)
{
    if (length == 0) return std::string();
    const int wide = MultiByteToWideChar(936, 0, gbk, static_cast<int>(length), nullptr, 0);
    if (wide <= 0) return std::string(gbk, length);
    std::vector<wchar_t> buffer(wide);
    MultiByteToWideChar(936, 0, gbk, static_cast<int>(length), buffer.data(), wide);
    const int size = WideCharToMultiByte(CP_UTF8, 0, buffer.data(), wide, nullptr, 0, nullptr, nullptr);
    std::string utf8(size, '\0');
    WideCharToMultiByte(CP_UTF8, 0, buffer.data(), wide, &utf8[0], size, nullptr, nullptr);
    return utf8;
}

std::string Utf8(const CString& gbk)
{
    return Utf8(gbk, gbk.GetLength());
}

// One named database of the file, opened read-only.
class Table {
public:
    Table(const std::string& file, const std::string& name)
    {
        if (db_create(&m_db, nullptr, 0) != 0) throw Failure{"the database library cannot start"};
        m_db->set_errfile(m_db, nullptr);
        const int error = m_db->open(m_db, nullptr, file.c_str(), name.empty() ? nullptr : name.c_str(), DB_UNKNOWN,
                                     DB_RDONLY, 0);
        if (error != 0) {
            m_db->close(m_db, 0);
            m_db = nullptr;
            // A database the file does not hold reads as empty.
            if (error != ENOENT) throw Failure{std::string("cannot read it: ") + db_strerror(error)};
        }
    }
    ~Table()
    {
        if (m_db) m_db->close(m_db, 0);
    }
    Table(const Table&) = delete;
    Table& operator=(const Table&) = delete;

    // Calls `visit(key, value)` for each entry, in the file's order.
    template <typename Visit>
    void Each(Visit visit)
    {
        if (!m_db) return;
        DBC* cursor = nullptr;
        if (m_db->cursor(m_db, nullptr, &cursor, 0) != 0) throw Failure{"cannot read it"};
        DBT key = {}, value = {};
        int error;
        while ((error = cursor->c_get(cursor, &key, &value, DB_NEXT)) == 0)
            visit(std::string(static_cast<const char*>(key.data), key.size),
                  std::string(static_cast<const char*>(value.data), value.size));
        cursor->c_close(cursor);
        if (error != DB_NOTFOUND) throw Failure{std::string("cannot read it to the end: ") + db_strerror(error)};
    }

private:
    DB* m_db = nullptr;
};

// A value as the store wrote it; false when its bytes are not a record.
bool Decode(const std::string& value, CSmsRecord& record)
{
    return CStoreRepair::DecodeValue(value.data(), static_cast<int>(value.size()), record);
}

std::string KeyText(const std::string& key)
{
    // The store's keys are the peer's bytes without a NUL; a file from
    // elsewhere may end its keys with one, which is not shown.
    return Utf8(key.c_str(), strlen(key.c_str()));
}

const char* KindName(BYTE kind)
{
    switch (kind) {
    case CSmsRecord::KIND_UNDELIVERED: return "notice";
    case CSmsRecord::KIND_SENT: return "sent";
    case CSmsRecord::KIND_SCHEDULED: return "scheduled";
    case CSmsRecord::KIND_RECEIVED: return "received";
    default: return "unknown";
    }
}

struct Row {
    std::string peer, kind, time, text;
};

// A named database's records, each peer's in the order the store keeps them;
// values that are not records are counted, not shown.
std::vector<Row> ReadRecords(const std::string& file, const std::string& name, const std::string& peer,
                             int& malformed)
{
    std::vector<Row> rows;
    Table table(file, name);
    table.Each([&](const std::string& key, const std::string& value) {
        const std::string keyPeer = KeyText(key);
        if (!peer.empty() && keyPeer != peer) return;
        CSmsRecord record;
        if (!Decode(value, record)) {
            ++malformed;
            return;
        }
        rows.push_back({keyPeer, KindName(record.kind), Utf8(record.time), Utf8(record.text)});
    });
    return rows;
}

std::string CsvField(const std::string& text)
{
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

std::string JsonString(const std::string& text)
{
    std::string json = "\"";
    for (unsigned char c : text) {
        switch (c) {
        case '"': json += "\\\""; break;
        case '\\': json += "\\\\"; break;
        case '\n': json += "\\n"; break;
        case '\r': json += "\\r"; break;
        case '\t': json += "\\t"; break;
        default:
            if (c < 0x20) {
                char escape[8];
                snprintf(escape, sizeof escape, "\\u%04x", c);
                json += escape;
            } else {
                json += static_cast<char>(c);
            }
        }
    }
    return json + "\"";
}

enum class Format { Text, Csv, Json };

void PrintRows(const std::vector<Row>& rows, Format format)
{
    if (format == Format::Csv) {
        printf("peer,kind,time,text\r\n");
        for (const Row& row : rows)
            printf("%s,%s,%s,%s\r\n", CsvField(row.peer).c_str(), row.kind.c_str(), CsvField(row.time).c_str(),
                   CsvField(row.text).c_str());
    } else if (format == Format::Json) {
        printf("[");
        for (size_t i = 0; i < rows.size(); ++i)
            printf("%s\n  {\"peer\": %s, \"kind\": \"%s\", \"time\": %s, \"text\": %s}", i ? "," : "",
                   JsonString(rows[i].peer).c_str(), rows[i].kind.c_str(), JsonString(rows[i].time).c_str(),
                   JsonString(rows[i].text).c_str());
        printf("%s]\n", rows.empty() ? "" : "\n");
    } else {
        for (const Row& row : rows)
            printf("%s  %-9s  %s  %s\n", row.time.c_str(), row.kind.c_str(), row.peer.c_str(), row.text.c_str());
    }
}

void ReportMalformed(int malformed)
{
    if (malformed) fprintf(stderr, "smsdb: %d value(s) that are not records were left out\n", malformed);
}

bool EndsWith(const std::string& text, const std::string& end)
{
    return text.size() > end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

int Accounts(const std::string& file)
{
    // The file's own catalogue names its databases: ACCOUNT + kind.
    std::map<std::string, std::vector<std::string>> kinds;
    Table catalogue(file, std::string());
    catalogue.Each([&](const std::string& key, const std::string&) {
        const std::string name = key.c_str();
        for (const char* kind : {kUnread, kHistory, kSignature}) {
            if (EndsWith(name, kind)) {
                kinds[name.substr(0, name.size() - strlen(kind))].push_back(kind);
                break;
            }
        }
    });
    for (const auto& account : kinds) {
        int malformed = 0;
        const std::vector<Row> history = ReadRecords(file, account.first + kHistory, "", malformed);
        const std::vector<Row> unread = ReadRecords(file, account.first + kUnread, "", malformed);
        std::string signature;
        Table(file, account.first + kSignature).Each([&](const std::string&, const std::string& value) {
            CByteReader reader(value.data(), static_cast<int>(value.size()));
            CString text;
            reader.GetString(text);
            signature = Utf8(text);
        });
        std::vector<std::string> peers;
        for (const Row& row : history)
            if (std::find(peers.begin(), peers.end(), row.peer) == peers.end()) peers.push_back(row.peer);
        printf("%s: %zu message(s) with %zu contact(s) in the history, %zu unread, signature %s\n",
               account.first.c_str(), history.size(), peers.size(), unread.size(),
               signature.empty() ? "none" : JsonString(signature).c_str());
        ReportMalformed(malformed);
    }
    return 0;
}

int Contacts(const std::string& file, const std::string& account)
{
    int malformed = 0;
    struct Contact {
        size_t count = 0;
        std::string newest;
    };
    std::map<std::string, Contact> contacts;
    for (const Row& row : ReadRecords(file, account + kHistory, "", malformed)) {
        Contact& contact = contacts[row.peer];
        ++contact.count;
        contact.newest = std::max(contact.newest, row.time);
    }
    std::vector<std::pair<std::string, Contact>> ordered(contacts.begin(), contacts.end());
    std::stable_sort(ordered.begin(), ordered.end(),
                     [](const auto& a, const auto& b) { return a.second.newest > b.second.newest; });
    for (const auto& contact : ordered)
        printf("%s  %zu message(s), the newest %s\n", contact.first.c_str(), contact.second.count,
               contact.second.newest.c_str());
    ReportMalformed(malformed);
    return 0;
}

int History(const std::string& file, const std::string& account, const std::string& peer, Format format)
{
    int malformed = 0;
    std::vector<Row> rows = ReadRecords(file, account + kHistory, peer, malformed);
    // The store keeps each peer's newest first; people read oldest first.
    std::reverse(rows.begin(), rows.end());
    PrintRows(rows, format);
    ReportMalformed(malformed);
    return 0;
}

int Unread(const std::string& file, const std::string& account, Format format)
{
    int malformed = 0;
    PrintRows(ReadRecords(file, account + kUnread, "", malformed), format);
    ReportMalformed(malformed);
    return 0;
}

int Verify(const std::string& file)
{
    switch (CStoreRepair::Verify(file.c_str())) {
    case CStoreRepair::FILE_GOOD: printf("good\n"); return 0;
    case CStoreRepair::FILE_MISSING: throw Failure{"there is no such file"};
    default: printf("damaged\n"); return 1;
    }
}

int Salvage(const std::string& file, const std::string& newFile, const std::string& account)
{
    CStoreRepair::Counts counts;
    if (!CStoreRepair::Salvage(file.c_str(), newFile.c_str(), account.c_str(), &counts))
        throw Failure{"nothing could be read from it, or " + newFile + " exists already"};
    printf("%s: %d history and %d unread message(s)%s; %d without their key filed under their peer, "
           "%d value(s) that are not records left out\n",
           newFile.c_str(), counts.history, counts.unread, counts.signature ? " and the signature" : "",
           counts.orphans, counts.malformed);
    return 0;
}

// What the command line asks for.
struct Request {
    std::string file, command, account, peer, newFile;
    Format format = Format::Text;
};

int ReadCommandLine(int argc, char** argv, Request& request)
{
    CLI::App app("smsdb: an account's message file (smsutilmsg.db) for people: what it holds, one contact's "
                 "history, the unread queue; checking and salvaging it. Texts are UTF-8 here.");
    DescribeCommandLine(app, "smsdb");
    // The commands' options may come anywhere: they fall through to here.
    app.fallthrough();
    app.require_subcommand(0, 1);
    app.add_option("FILE", request.file, "the message file")->type_name("")->required();
    bool csv = false, json = false;
    CLI::Option* csvFlag = app.add_flag("--csv", csv, "history and unread as CSV, in UTF-8, lines ending in CR LF");
    app.add_flag("--json", json, "history and unread as a JSON array")->excludes(csvFlag);
    const auto command = [&app](const char* name, const char* description) {
        return app.add_subcommand(name, description);
    };
    const auto operand = [](CLI::App* subcommand, const char* name, std::string& value, const char* description) {
        return subcommand->add_option(name, value, description)->type_name("");
    };
    command("accounts", "the accounts, with their counts and signature");
    operand(command("contacts", "one account's contacts with history, the most recent first"), "ACCOUNT",
            request.account, "the account's number")->required();
    CLI::App* history = command("history", "one contact's messages, the oldest first");
    operand(history, "ACCOUNT", request.account, "the account's number")->required();
    operand(history, "PEER", request.peer, "the contact's number")->required();
    operand(command("unread", "the messages not yet shown, in order"), "ACCOUNT", request.account,
            "the account's number")->required();
    command("verify", "prints \"good\" (status 0) or \"damaged\" (status 1)");
    CLI::App* salvage = command("salvage", "what can be read, into a new file");
    operand(salvage, "NEWFILE", request.newFile, "the file to write; it must not exist yet")->required();
    operand(salvage, "ACCOUNT", request.account, "only this account's messages");
    // Checked once the arguments are all read, so that one that is not a
    // command is named as such.
    app.callback([&app] {
        if (app.get_subcommands().empty())
            throw CLI::RequiredError("A command (accounts, contacts, history, unread, verify or salvage)");
    });
    app.footer("Errors are one line and status 1; a wrong command line is status 2. Reading writes nothing.");
    const int status = ParseCommandLine(app, argc, argv);
    if (status >= 0) return status;
    request.command = app.get_subcommands().front()->get_name();
    request.format = csv ? Format::Csv : json ? Format::Json : Format::Text;
    return -1;
}

int Run(const Request& request)
{
    const std::string& file = request.file;
    const DWORD attributes = GetFileAttributesA(file.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) throw Failure{"there is no such file"};
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) throw Failure{"it is a folder, not a store file"};
    const CAccountFile store = CAccountFile::AtPath(file.c_str());
    // A tool may wait longer than the messenger's window would.
    const CAccountFile::Lock lock(store, false, 10000);
    if (!lock.Held()) throw Failure{"the messenger is writing to it and did not finish in time; try again"};
    const std::string& command = request.command;
    if (command == "verify") return Verify(file);
    if (command == "salvage") return Salvage(file, request.newFile, request.account);
    // The library trusts a file's pages; a damaged one is only salvaged.
    if (CStoreRepair::Verify(file.c_str()) != CStoreRepair::FILE_GOOD)
        throw Failure{"it is damaged; `smsdb FILE salvage NEWFILE` saves what can be read from it"};
    if (command == "accounts") return Accounts(file);
    if (command == "contacts") return Contacts(file, request.account);
    if (command == "history") return History(file, request.account, request.peer, request.format);
    return Unread(file, request.account, request.format);
}

} // namespace

int main(int argc, char** argv)
{
#ifdef _WIN32
    // The bytes as they are: CSV ends its lines itself.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
#endif
    Request request;
    const int status = ReadCommandLine(argc, argv, request);
    if (status >= 0) return status;
    CMessageStore::SetDbCreate(db_create);
    try {
        return Run(request);
    } catch (const Failure& failure) {
        fprintf(stderr, "smsdb: %s: %s\n", request.file.c_str(), failure.what.c_str());
        return 1;
    }
}
