// store_probe DIRECTORY\ writes what a person's file holds for 10001, for the
// history tool to read: two contacts' history with Chinese text, a line
// break, quotes and commas, two unread messages and a signature.
#include "record_maker.h"
#include "store/message_store.h"

#include <cstdio>

namespace {

bool Add(bool unread, BYTE kind, const char* peer, const char* time, const char* text)
{
    CSmsRecord record = Record(kind, peer, time, text);
    return unread ? CMessageStore::AddUnread(record) : CMessageStore::AddHistory(record);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) return 2;
    AccountDataDir = argv[1];
    CurrentAccountId = "10001";
    const bool written = CMessageStore::SaveSignature("张三") &&
                         Add(false, 1, "10002", "2026-12-01 09:00:00", "早上好，\"老李\"") &&
                         Add(false, 3, "10002", "2026-12-01 09:05:00", "好的,明天见\r\nsecond line") &&
                         Add(false, 0, "10009", "2026-12-02 10:00:00", "抱歉，无法发出。") &&
                         Add(false, 2, "10002", "2026-12-03 08:00:00", "定时") &&
                         Add(true, 3, "10003", "2026-12-04 11:00:00", "未读一") &&
                         Add(true, 3, "10003", "2026-12-04 11:01:00", "unread two");
    if (!written) return 1;
    printf("written\n");
    return 0;
}
