// Writes to one account's store from its own process, for the tests that
// kill it or run two of it at once. Each completed write is reported on its
// own line, flushed, before the next one starts.
//   store_writer DIR ACCOUNT loop FIRST      history and unread records
//                                            FIRST, FIRST+1, ... until killed
//   store_writer DIR ACCOUNT contact TAG N   N history records to one contact
//   store_writer DIR ACCOUNT until TAG STOP  history records to one contact
//                                            until the file STOP exists, then
//                                            the count written
// DIR ends with a separator, as a host's data directory does.
#include "store/message_store.h"
#include "store/sms_record.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

CSmsRecord Make(BYTE kind, const char* peer, const CString& text)
{
    CSmsRecord record;
    record.kind = kind;
    record.peer = peer;
    record.time = "2026-12-05 10:00:00";
    record.text = text;
    return record;
}

CString Tagged(const char* tag, int i)
{
    CString text;
    text.Format("%s%d", tag, i);
    return text;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 5) return 2;
    AccountDataDir = argv[1];
    CurrentAccountId = argv[2];
    if (strcmp(argv[3], "loop") == 0) {
        static const char* const peers[] = {"20001", "20002", "20003", "20004"};
        for (long i = atol(argv[4]);; ++i) {
            CString text;
            text.Format("h%ld", i);
            CSmsRecord history = Make(CSmsRecord::KIND_SENT, peers[i % 4], text);
            if (!CMessageStore::AddHistory(history)) return 1;
            printf("%s\n", (const char*)text);
            fflush(stdout);
            text.Format("u%ld", i);
            CSmsRecord unread = Make(CSmsRecord::KIND_RECEIVED, peers[i % 4], text);
            if (!CMessageStore::AddUnread(unread)) return 1;
            printf("%s\n", (const char*)text);
            fflush(stdout);
        }
    }
    if (strcmp(argv[3], "contact") == 0 && argc == 6) {
        const int count = atoi(argv[5]);
        for (int i = 0; i < count; ++i) {
            CSmsRecord history = Make(CSmsRecord::KIND_SENT, "30000", Tagged(argv[4], i));
            if (!CMessageStore::AddHistory(history)) return 1;
        }
        printf("done\n");
        return 0;
    }
    if (strcmp(argv[3], "until") == 0 && argc == 6) {
        int count = 0;
        for (; GetFileAttributesA(argv[5]) == INVALID_FILE_ATTRIBUTES; ++count) {
            CSmsRecord history = Make(CSmsRecord::KIND_SENT, "30000", Tagged(argv[4], count));
            if (!CMessageStore::AddHistory(history)) return 1;
            // A messenger writes now and then, not without a pause: readers
            // get their turn between changes.
            Sleep(5);
        }
        printf("%d\n", count);
        return 0;
    }
    return 2;
}
