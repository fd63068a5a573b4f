// A message record with its stored fields, for tests of what keeps records.
#pragma once
#include "store/sms_record.h"

inline CSmsRecord Record(BYTE kind, const char* peer, const char* time, const char* text)
{
    CSmsRecord record;
    record.kind = kind;
    record.peer = peer;
    record.time = time;
    record.text = text;
    return record;
}
