#include "store_change.h"

#include "common/little_endian.h"
#include "db_entry.h"

#include <db.h>

#include <cstring>

namespace {

void PutCounted(std::string& out, const std::string& text)
{
    PutLittle(out, text.size(), 4);
    out += text;
}

bool GetCounted(const std::string& in, size_t& at, std::string& text)
{
    if (in.size() - at < 4) return false;
    const size_t size = static_cast<size_t>(GetLittle(in, at, 4));
    at += 4;
    if (in.size() - at < size) return false;
    text.assign(in, at, size);
    at += size;
    return true;
}

} // namespace

bool CStoreChange::Apply(DBC* cursor) const
{
    DBT keyEntry = DbEntry(key.data(), key.size());
    if (kind != REMOVE) {
        DBT data = DbEntry(value.data(), value.size());
        return cursor->c_put(cursor, &keyEntry, &data, kind == PUT_FIRST ? DB_KEYFIRST : DB_KEYLAST) == 0;
    }
    DBT data = DbEntry(nullptr, 0);
    for (int result = cursor->c_get(cursor, &keyEntry, &data, DB_SET); result == 0;
         result = cursor->c_get(cursor, &keyEntry, &data, DB_NEXT_DUP)) {
        if (data.size == value.size() && memcmp(data.data, value.data(), value.size()) == 0)
            return cursor->c_del(cursor, 0) == 0;
    }
    return true;
}

std::string CStoreChange::Encode() const
{
    std::string out;
    out.push_back(static_cast<char>(kind));
    out.push_back(duplicates ? 1 : 0);
    PutCounted(out, database);
    PutCounted(out, key);
    PutCounted(out, value);
    return out;
}

bool CStoreChange::Decode(const std::string& bytes)
{
    if (bytes.size() < 2) return false;
    const int kindByte = static_cast<unsigned char>(bytes[0]);
    if (kindByte < PUT_FIRST || kindByte > REMOVE || static_cast<unsigned char>(bytes[1]) > 1) return false;
    kind = static_cast<Kind>(kindByte);
    duplicates = bytes[1] == 1;
    size_t at = 2;
    return GetCounted(bytes, at, database) && GetCounted(bytes, at, key) && GetCounted(bytes, at, value) &&
           at == bytes.size();
}
