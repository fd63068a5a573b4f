#include "send_rules.h"

#include "controls/sms_text_edit.h"
#include "res/resource.h"

#include <cstdio>

namespace send_rules {

CString SignaturePrefix(const char* signature)
{
    CString prefix(signature);
    if (!prefix.IsEmpty()) prefix += ":";
    return prefix;
}

Limits LimitsBeside(const char* otherPart)
{
    const int used = SmsCharCount(otherPart);
    Limits limits;
    limits.wide = WIDE_LIMIT - used;
    limits.narrow = SmsIsWideText(otherPart) ? WIDE_LIMIT - used : NARROW_LIMIT - used;
    if (limits.wide < 0) limits.wide = 0;
    if (limits.narrow < 0) limits.narrow = 0;
    return limits;
}

CString CounterText(const char* signature, const char* message)
{
    CString text;
    text.LoadString(IDS_COUNTER_FREE_LINE);
    text += "\r\n";
    CString line;
    CString limit, count;
    if (!message || !*message) {
        line.LoadString(IDS_COUNTER_HINT);
        limit.Format("%d", SHOWN_NARROW_LIMIT);
        count.Format("%d", SHOWN_WIDE_LIMIT);
    } else {
        const CString whole = SignaturePrefix(signature) + message;
        const bool wide = SmsIsWideText(whole);
        line.LoadString(wide ? IDS_COUNTER_CHINESE : IDS_COUNTER_SINGLE_BYTE);
        limit.Format("%d", wide ? SHOWN_WIDE_LIMIT : SHOWN_NARROW_LIMIT);
        // The service's own 2 characters count as the user's.
        count.Format("%d", SmsCharCount(whole) + 2);
    }
    line.Replace("[?]", limit);
    line.Replace("(?)", count);
    return text + line;
}

CString FormatScheduledTime(int year, int month, int day, int hour, int minute)
{
    CString text;
    text.Format("%d-%02d-%02d %02d:%02d:00", year, month, day, hour, minute);
    return text;
}

std::string BuildSendRequest(const char* sender, const char* recipient, const char* content,
                             const char* scheduledTime)
{
    const char separator = '\x02';
    std::string request = "2";
    request += separator;
    request += std::string(sender ? sender : "") + ":";
    request += separator;
    request += recipient ? recipient : "";
    request += separator;
    request += content ? content : "";
    request += separator;
    if (scheduledTime && *scheduledTime) {
        request += "1";
        request += separator;
        request += scheduledTime;
    } else {
        request += "0";
    }
    request += '\0';
    return request;
}

CSmsRecord SentRecord(const char* recipient, const char* content, const char* scheduledTime, const char* now)
{
    const bool scheduled = scheduledTime && *scheduledTime;
    CSmsRecord record;
    record.kind = scheduled ? CSmsRecord::KIND_SCHEDULED : CSmsRecord::KIND_SENT;
    record.peer = recipient;
    record.time = scheduled ? scheduledTime : now;
    record.text = content;
    return record;
}

} // namespace send_rules
