// The send dialog's rules that need no window: the counter text, the limits
// that the message and signature fields set each other, the scheduled time,
// the send request and the record it leaves in the history.
#pragma once
#include "afxstr.h"
#include "store/sms_record.h"

#include <string>

namespace send_rules {

// What the counter announces: 140 single-byte or 70 Chinese characters, of
// which the service takes 2 for itself, so the fields together hold 138 or 68.
const int SHOWN_NARROW_LIMIT = 140;
const int SHOWN_WIDE_LIMIT = 70;
const int NARROW_LIMIT = 138;
const int WIDE_LIMIT = 68;

struct Limits {
    int wide;
    int narrow;
};

// The signature followed by ":", or nothing for an empty signature.
CString SignaturePrefix(const char* signature);
// The limits of one field, given the other field's part of the message.
Limits LimitsBeside(const char* otherPart);
// The frame's text: the free-user line, then the count of prefix and message,
// or the hint while the message is empty.
CString CounterText(const char* signature, const char* message);
// "%d-%02d-%02d %02d:%02d:00".
CString FormatScheduledTime(int year, int month, int day, int hour, int minute);
// The request's bytes, its NUL included: "2", sender + ":", recipient,
// content, then "0" or "1" and the scheduled time, separated by 0x02.
std::string BuildSendRequest(const char* sender, const char* recipient, const char* content,
                             const char* scheduledTime);
// The history's record of one request: kind 1 at `now`, or kind 2 at the
// scheduled time.
CSmsRecord SentRecord(const char* recipient, const char* content, const char* scheduledTime, const char* now);

} // namespace send_rules
