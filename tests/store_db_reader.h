// Reads a named database of a store file straight through the library, for
// tests that must see values the store's operations would take away.
#pragma once
#include "store/byte_reader.h"
#include "store/sms_record.h"

#include <windows.h>
#include <db.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

// Key and record of every value, in the library's order; false when the
// database cannot be opened.
inline bool ReadDatabase(const std::string& path, const std::string& name, std::vector<std::pair<std::string, CSmsRecord>>& out)
{
    typedef int (*Create)(DB**, DB_ENV*, u_int32_t);
    Create create = reinterpret_cast<Create>(GetProcAddress(LoadLibraryA("hostdata.dll"), MAKEINTRESOURCEA(1)));
    DB* db = nullptr;
    if (!create || create(&db, nullptr, 0) != 0) return false;
    DBC* cursor = nullptr;
    if (db->set_flags(db, DB_DUP) != 0 || db->open(db, nullptr, path.c_str(), name.c_str(), DB_HASH, DB_RDONLY, 0) != 0 ||
        db->cursor(db, nullptr, &cursor, 0) != 0) {
        db->close(db, 0);
        return false;
    }
    DBT key, data;
    memset(&key, 0, sizeof key);
    memset(&data, 0, sizeof data);
    while (cursor->c_get(cursor, &key, &data, DB_NEXT) == 0) {
        CSmsRecord record;
        CByteReader reader(data.data, static_cast<int>(data.size));
        record.Load(reader);
        out.emplace_back(std::string(static_cast<const char*>(key.data), key.size), record);
    }
    cursor->c_close(cursor);
    db->close(db, 0);
    return true;
}
