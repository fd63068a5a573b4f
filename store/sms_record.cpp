#include "sms_record.h"

#include "byte_reader.h"
#include "byte_writer.h"

CByteWriter& CSmsRecord::Store(CByteWriter& writer)
{
    return writer.PutByte(kind).PutString(peer).PutString(time).PutString(text);
}

CByteReader& CSmsRecord::Load(CByteReader& reader)
{
    return reader.GetByte(kind).GetString(peer).GetString(time).GetString(text);
}
