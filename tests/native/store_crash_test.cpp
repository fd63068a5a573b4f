// The message store ended at every write it makes during an operation: the
// library's page writes (through its replaceable system calls) and the
// store's own (through the file shim). A process ended there is what a kill
// at that moment leaves. After each end the next log-in's check must find
// each key's values as before the operation in flight or as after it, in a
// file that verifies.
#include "message_store.h"
#include "sms_record.h"
#include "store_repair.h"

#include <db.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const int kEndedAtWrite = 86;
long g_writesLeft = -1; // counting only in the child

void CountWrite()
{
    if (g_writesLeft >= 0 && g_writesLeft-- == 0) _exit(kEndedAtWrite);
}

ssize_t CountingPwrite(int fd, const void* buffer, size_t size, off_t offset)
{
    CountWrite();
    return pwrite(fd, buffer, size, offset);
}

ssize_t CountingWrite(int fd, const void* buffer, size_t size)
{
    CountWrite();
    return write(fd, buffer, size);
}

// Each database of the account as "database/key" -> values in the library's
// order.
typedef std::map<std::string, std::vector<std::string>> State;

State ReadState(const std::string& path)
{
    State state;
    for (const char* name : {"10001sdata", "10001mdata", "10001umdata"}) {
        DB* db = nullptr;
        DBC* cursor = nullptr;
        if (db_create(&db, nullptr, 0) != 0) continue;
        db->set_errfile(db, nullptr);
        if (strcmp(name, "10001sdata") != 0) db->set_flags(db, DB_DUP);
        if (db->open(db, nullptr, path.c_str(), name, DB_HASH, DB_RDONLY, 0) == 0 &&
            db->cursor(db, nullptr, &cursor, 0) == 0) {
            DBT key = {}, data = {};
            while (cursor->c_get(cursor, &key, &data, DB_NEXT) == 0)
                state[name + ("/" + std::string(static_cast<char*>(key.data), key.size))].push_back(
                    std::string(static_cast<char*>(data.data), data.size));
            cursor->c_close(cursor);
        }
        db->close(db, 0);
    }
    return state;
}

std::string Padded(const std::string& text, size_t length)
{
    std::string padded = text + " ";
    while (padded.size() < length) padded += static_cast<char>('a' + padded.size() % 26);
    return padded;
}

CSmsRecord Record(const std::string& peer, const std::string& text)
{
    CSmsRecord record;
    record.kind = CSmsRecord::KIND_RECEIVED;
    record.peer = peer.c_str();
    record.time = "2026-12-06 10:00:00";
    record.text = text.c_str();
    return record;
}

class TakeAll : public CUnreadVisitor {
public:
    bool WantsUnread(int) override { return true; }
    bool HandleUnread(CByteReader&) override { return true; }
};

// Operations that split buckets, move a key's values off their page and
// grow the file: long texts to few contacts, many contacts, a queue taken
// from and walked; and the log-in's check, which starts the journal again.
std::function<void()> Operation(int i)
{
    const std::string peer = std::to_string(20000 + i % 5);
    switch (i % 10) {
    case 3:
        return [] { CStoreRepair::CheckAccountFile(); };
    case 4:
    case 5:
        return [=] {
            CSmsRecord r = Record(std::to_string(20000 + i % 3), "u" + std::to_string(i));
            CMessageStore::AddUnread(r);
        };
    case 6:
        return [=] {
            CSmsRecord r;
            int more;
            CMessageStore::TakeNextUnread(std::to_string(20000 + i % 3).c_str(), r, more);
        };
    case 7:
        return [=] { CMessageStore::SaveSignature(Padded("s" + std::to_string(i), 40 + i * 13 % 300).c_str()); };
    case 8:
        return [=] {
            CSmsRecord r = Record(std::to_string(30000 + i), "new contact " + std::to_string(i));
            CMessageStore::AddHistory(r);
        };
    case 9:
        return [] {
            TakeAll all;
            CMessageStore::VisitUnread(all);
        };
    default:
        return [=] {
            CSmsRecord r = Record(peer, Padded("h" + std::to_string(i), 200 + i * 37 % 900));
            CMessageStore::AddHistory(r);
        };
    }
}

// Keys whose values are neither as before the operation nor as after it.
int Mixed(const State& before, const State& after, const State& found, std::string& report)
{
    auto valuesOf = [](const State& state, const std::string& key) {
        auto values = state.find(key);
        return values == state.end() ? std::vector<std::string>() : values->second;
    };
    std::set<std::string> keys;
    for (const State* state : {&before, &after, &found})
        for (auto& entry : *state) keys.insert(entry.first);
    int mixed = 0;
    for (const std::string& key : keys) {
        const auto is = valuesOf(found, key);
        if (is == valuesOf(before, key) || is == valuesOf(after, key)) continue;
        ++mixed;
        report += key + " ";
    }
    return mixed;
}

void CopyFolder(const fs::path& from, const fs::path& to)
{
    fs::remove_all(to);
    fs::create_directories(to);
    for (const auto& entry : fs::directory_iterator(from)) fs::copy_file(entry.path(), to / entry.path().filename());
}

} // namespace

TEST(StoreCrashTest, EveryWriteOfEveryOperation)
{
    db_env_set_func_pwrite(CountingPwrite);
    db_env_set_func_write(CountingWrite);
    ShimBeforeWrite = CountWrite;
    CMessageStore::SetDbCreate(db_create);
    char pattern[] = "/tmp/smsutil-crash-XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(pattern));
    const fs::path root(pattern), work = root / "account", saved = root / "before";
    fs::create_directories(work);
    AccountDataDir = (work.string() + "/").c_str();
    CurrentAccountId = "10001";
    const std::string file = work.string() + "/smsutilmsg.db";

    const int operations = 60;
    int points = 0;
    long most = 0;
    int mixed = 0, damaged = 0;
    std::string report;
    for (int i = 0; i < operations; ++i) {
        CopyFolder(work, saved);
        const State before = ReadState(file);
        // The operation made whole, in a child of its own like the ended ones.
        auto run = [&](long endAt) {
            const pid_t child = fork();
            if (child == 0) {
                g_writesLeft = endAt;
                Operation(i)();
                _exit(0);
            }
            int status = 0;
            waitpid(child, &status, 0);
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        };
        ASSERT_EQ(0, run(1L << 30)) << "operation " << i;
        const State after = ReadState(file);
        ASSERT_TRUE(before != after || i % 10 == 3 || i % 10 == 6 || i % 10 == 9)
            << "operation " << i << " changed nothing";
        for (long k = 0;; ++k) {
            CopyFolder(saved, work);
            const int outcome = run(k);
            if (outcome == 0) {
                most = std::max(most, k);
                break;
            }
            ASSERT_EQ(kEndedAtWrite, outcome) << "operation " << i << ", write " << k;
            ++points;
            const CStoreRepair::Outcome login = CStoreRepair::CheckAccountFile();
            if (login == CStoreRepair::LOGIN_REPAIRED || login == CStoreRepair::LOGIN_MOVED) ++damaged;
            ASSERT_NE(CStoreRepair::LOGIN_FAILED, login) << "operation " << i << ", write " << k;
            if (fs::exists(file)) {
                EXPECT_EQ(CStoreRepair::FILE_GOOD, CStoreRepair::Verify(file.c_str()));
            }
            mixed += Mixed(before, after, ReadState(file), report);
        }
        // The next operation starts from the whole one.
        CopyFolder(saved, work);
        ASSERT_EQ(0, run(-1));
    }
    printf("%d operations ended at %d writes (at most %ld in one): %d keys in neither state, %d files damaged\n",
           operations, points, most, mixed, damaged);
    EXPECT_EQ(0, mixed) << report.substr(0, 500);
    EXPECT_EQ(0, damaged);
    EXPECT_GE(points, operations);
    struct stat info;
    ASSERT_EQ(0, stat(file.c_str(), &info));
    EXPECT_EQ(0600u, info.st_mode & 0777) << "the file is its owner's alone";
    fs::remove_all(root);
}
