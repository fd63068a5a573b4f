#include "service_text.h"

#include "res/resource.h"
#include "store/sms_record.h"

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

namespace {

// Result codes of a start-up answer that accept the account.
const long kFirstAcceptedCode = 1;
const long kLastAcceptedCode = 3;

CString LocalTimeNow()
{
    char buffer[32];
    const time_t now = time(nullptr);
    strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M:%S", localtime(&now));
    return buffer;
}

// Fields 2 (unused) and 3 (the other party) of a type "4" or "6" text.
CSmsRecord RecordFrom(BYTE kind, char*& cursor)
{
    NextField(&cursor, SERVICE_FIELD_SEPARATOR);
    CSmsRecord record;
    record.kind = kind;
    record.peer = NextField(&cursor, SERVICE_FIELD_SEPARATOR);
    record.time = LocalTimeNow();
    return record;
}

} // namespace

char* NextField(char** cursor, char separator)
{
    if (!cursor || !*cursor) return nullptr;
    char* field = *cursor;
    char* end = strchr(field, separator);
    if (!end) return field;
    *end = '\0';
    *cursor = end + 1;
    return field;
}

bool ServiceTextOfBlock(const char* block, int size, const char*& text, int& length)
{
    const int kTransportBytes = 2;
    if (!block || size <= kTransportBytes) return false;
    text = block + kTransportBytes;
    length = size - kTransportBytes;
    return true;
}

int ParseServiceText(const char* text, int length, CServiceTextSink& sink)
{
    if (length <= 0 || !text) return 0;
    if (static_cast<int>(strnlen(text, length)) != length - 1) return 0;
    try {
        std::vector<char> copy(text, text + length);
        char* cursor = copy.data();
        const char* type = NextField(&cursor, SERVICE_FIELD_SEPARATOR);
        if (strcmp(type, "1") == 0) return OnInitReply(cursor, sink);
        if (strcmp(type, "4") == 0) return OnIncomingSms(cursor, sink);
        if (strcmp(type, "6") == 0) return OnUndelivered(cursor, sink);
        return 0;
    } catch (...) {
        return 0;
    }
}

int OnInitReply(char* cursor, CServiceTextSink& sink)
{
    if (!sink.AwaitsStartUpAnswer()) return 0;
    NextField(&cursor, SERVICE_FIELD_SEPARATOR);
    const char* serviceUrl = NextField(&cursor, SERVICE_FIELD_SEPARATOR);
    const long code = strtol(NextField(&cursor, SERVICE_FIELD_SEPARATOR), nullptr, 10);
    const bool accepted = code >= kFirstAcceptedCode && code <= kLastAcceptedCode;
    sink.OnStartUpAnswer(serviceUrl, cursor, accepted);
    return accepted ? 1 : 0;
}

int OnIncomingSms(char* cursor, CServiceTextSink& sink)
{
    CSmsRecord record = RecordFrom(CSmsRecord::KIND_RECEIVED, cursor);
    record.text = cursor;
    sink.OnServiceRecord(record);
    return 1;
}

int OnUndelivered(char* cursor, CServiceTextSink& sink)
{
    CSmsRecord record = RecordFrom(CSmsRecord::KIND_UNDELIVERED, cursor);
    CString notice;
    notice.LoadString(IDS_UNDELIVERED_NOTICE);
    notice.Replace("[?]", record.peer);
    notice.Replace("(?)", cursor);
    record.text = notice;
    sink.OnServiceRecord(record);
    return 1;
}
