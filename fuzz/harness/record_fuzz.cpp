// A stored value as the database hands it back: decoded as a record and as
// a signature. A record that decodes is encoded again and must decode to the
// same fields, so that what the store reads it can also write back.
#include "check.h"
#include "store/byte_reader.h"
#include "store/byte_writer.h"
#include "store/sms_record.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 0x7FFFFFFF) return 0;
    const int length = static_cast<int>(size);

    CSmsRecord record;
    record.owner = "10001";
    CByteReader reader(data, length);
    record.Load(reader);
    Check(reader.Remaining() >= 0 && reader.Remaining() <= length, "the reader left its data");
    Check(record.owner == "10001", "decoding touched the owner");
    Check(size > 0 || record.kind == 0, "an empty value gave a kind");

    CByteWriter writer(64);
    record.Store(writer);
    CSmsRecord again;
    CByteReader rereader(writer.Data(), writer.Length());
    again.Load(rereader);
    Check(rereader.Remaining() == 0, "an encoded record has bytes left over");
    Check(again.kind == record.kind && again.peer == record.peer && again.time == record.time &&
              again.text == record.text,
          "a record does not survive encoding and decoding");

    // The signature: one counted string.
    CString signature("unchanged");
    CByteReader signatureReader(data, length);
    signatureReader.GetString(signature);
    Check(signature.GetLength() < 0x10000, "a signature longer than its count");

    // Word by word to the end: a reader past its end yields zero.
    CByteReader words(data, length);
    WORD word = 1;
    while (words.Remaining() >= 2) words.GetWord(word);
    words.GetWord(word);
    Check(word == 0, "a word read past the end is not zero");
    return 0;
}
