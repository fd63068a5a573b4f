// The texts that the SMS service sends: fields separated by 0x02, the type
// first. Start-up answers ("1"), incoming messages ("4") and undelivery
// notices ("6").
#pragma once
#include <cstddef>

class CSmsRecord;

const char SERVICE_FIELD_SEPARATOR = '\x02';

// What the service texts cause. The transport only reads texts; whoever owns
// the start-up and the delivery of messages (the service window) decides what
// follows, so the parser never reaches into a window or the plugin.
class CServiceTextSink {
public:
    virtual ~CServiceTextSink() = default;
    // Whether a start-up waits for its answer: an answer nobody waits for is
    // dropped unread.
    virtual bool AwaitsStartUpAnswer() = 0;
    // The start-up answer: the order page's base address, the registered
    // phone, and whether the service accepted the account.
    virtual void OnStartUpAnswer(const char* serviceUrl, const char* registerPhone, bool accepted) = 0;
    // A received message or undelivery notice, stamped with the local time.
    virtual void OnServiceRecord(const CSmsRecord& record) = 0;
};

// The next field at `*cursor`, cut at the separator; without a separator the
// rest of the text, and the cursor stays, so every later field is that text.
char* NextField(char** cursor, char separator);

// The service text of a received block: every block starts with two bytes of
// the transport, which are skipped unread. False for a block of two bytes or
// fewer, which holds no text.
bool ServiceTextOfBlock(const char* block, int size, const char*& text, int& length);

// `length` counts the text's NUL. 1 when a handler accepted the text.
int ParseServiceText(const char* text, int length, CServiceTextSink& sink);

// The handlers, given the cursor after the type field.
int OnInitReply(char* cursor, CServiceTextSink& sink);
int OnIncomingSms(char* cursor, CServiceTextSink& sink);
int OnUndelivered(char* cursor, CServiceTextSink& sink);
