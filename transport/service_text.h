// The texts that the SMS service sends: fields separated by 0x02, the type
// first. Start-up answers ("1"), incoming messages ("4") and undelivery
// notices ("6").
#pragma once
#include <cstddef>

const char SERVICE_FIELD_SEPARATOR = '\x02';

// The next field at `*cursor`, cut at the separator; without a separator the
// rest of the text, and the cursor stays, so every later field is that text.
char* NextField(char** cursor, char separator);

// `length` counts the text's NUL. 1 when a handler accepted the text.
int ParseServiceText(const char* text, int length);

// The handlers, given the cursor after the type field.
int OnInitReply(char* cursor);
int OnIncomingSms(char* cursor);
int OnUndelivered(char* cursor);
