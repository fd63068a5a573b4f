// Writes the 36-byte example record into a history database for the native
// dump to check: store_probe DIRECTORY (with trailing separator).
#include "store/message_store.h"
#include "store/sms_record.h"

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 2) return 2;
    AccountDataDir = argv[1];
    CurrentAccountId = "10002";
    CSmsRecord record;
    record.kind = 3;
    record.peer = "10001";
    record.time = "2006-05-01 08:30:00";
    record.text = "hi";
    if (!CMessageStore::AddHistory(record)) return 1;
    if (!CMessageStore::SaveSignature("")) return 1;
    printf("written\n");
    return 0;
}
