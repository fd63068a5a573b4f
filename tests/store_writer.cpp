// store_writer DIR\ ACCOUNT TAG STOP adds history records TAG0, TAG1, ... to
// one contact of the account's store from a process of its own until the file
// STOP exists, then writes what a busy file made it hold and prints how many
// it added.
#include "record_maker.h"
#include "store/message_store.h"

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 5) return 2;
    AccountDataDir = argv[1];
    CurrentAccountId = argv[2];
    int count = 0;
    for (; GetFileAttributesA(argv[4]) == INVALID_FILE_ATTRIBUTES; ++count) {
        CSmsRecord record = Record(CSmsRecord::KIND_SENT, "30000", "2026-12-05 10:00:00", "");
        record.text.Format("%s%d", argv[3], count);
        CMessageStore::AddHistory(record);
        // A messenger writes now and then, not without a pause: others get
        // their turn between changes.
        Sleep(5);
    }
    for (int tries = 0; !CMessageStore::WriteHeld(); ++tries) {
        if (tries == 100) return 1;
        Sleep(50);
    }
    printf("%d\n", count);
    return 0;
}
