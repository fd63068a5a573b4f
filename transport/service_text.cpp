#include "service_text.h"

#include "plugin/sms_service_wnd.h"
#include "plugin/sms_util_plugin.h"
#include "res/resource.h"
#include "store/message_store.h"
#include "store/sms_record.h"

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

namespace {

CString LocalTimeNow()
{
    char buffer[32];
    const time_t now = time(nullptr);
    strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M:%S", localtime(&now));
    return buffer;
}

bool PluginOnline()
{
    CSmsUtilPlugin* plugin = GetSmsUtilPlugin();
    return plugin && plugin->m_bOnline;
}

// Online, the service window delivers; offline the record waits in the
// logged-in account's queue, which the poll reads once the plugin is back.
void Receive(CSmsRecord& record)
{
    record.owner.Empty();
    if (PluginOnline())
        g_wndService.DeliverMessage(record);
    else
        CMessageStore::AddUnread(record);
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

int ParseServiceText(const char* text, int length)
{
    if (length <= 0 || !text) return 0;
    if (static_cast<int>(strnlen(text, length)) != length - 1) return 0;
    try {
        std::vector<char> copy(text, text + length);
        char* cursor = copy.data();
        const char* type = NextField(&cursor, SERVICE_FIELD_SEPARATOR);
        if (strcmp(type, "1") == 0) return OnInitReply(cursor);
        if (strcmp(type, "4") == 0) return OnIncomingSms(cursor);
        if (strcmp(type, "6") == 0) return OnUndelivered(cursor);
        return 0;
    } catch (...) {
        return 0;
    }
}

int OnInitReply(char* cursor)
{
    // Only a start-up that is waiting takes an answer.
    if (!g_wndService.m_nInitTimer) return 0;
    try {
        g_wndService.StopInitTimer();
        NextField(&cursor, SERVICE_FIELD_SEPARATOR);
        g_wndService.m_strServiceUrl = NextField(&cursor, SERVICE_FIELD_SEPARATOR);
        const long code = strtol(NextField(&cursor, SERVICE_FIELD_SEPARATOR), nullptr, 10);
        g_wndService.m_strRegisterPhone = cursor;
        if (code >= 1 && code <= 3) {
            g_wndService.OnServiceReady();
            return 1;
        }
        g_wndService.SetOrderState(3);
        return 0;
    } catch (...) {
        g_wndService.SetOrderState(3);
        return 0;
    }
}

// Fields 2 (unused) and 3 (the other party) of a type "4" or "6" text.
static CSmsRecord RecordFrom(BYTE kind, char*& cursor)
{
    NextField(&cursor, SERVICE_FIELD_SEPARATOR);
    CSmsRecord record;
    record.kind = kind;
    record.peer = NextField(&cursor, SERVICE_FIELD_SEPARATOR);
    record.time = LocalTimeNow();
    return record;
}

int OnIncomingSms(char* cursor)
{
    CSmsRecord record = RecordFrom(CSmsRecord::KIND_RECEIVED, cursor);
    record.text = cursor;
    Receive(record);
    return 1;
}

int OnUndelivered(char* cursor)
{
    CSmsRecord record = RecordFrom(CSmsRecord::KIND_UNDELIVERED, cursor);
    CString notice;
    notice.LoadString(IDS_UNDELIVERED_NOTICE);
    notice.Replace("[?]", record.peer);
    notice.Replace("(?)", cursor);
    record.text = notice;
    Receive(record);
    return 1;
}
