// One change to the store's file, as the journal keeps it and as the store
// keeps it in memory while the file cannot take it: everything needed to
// make the change again on another copy of the file.
#pragma once
#include <string>

struct __dbc;

struct CStoreChange {
    enum Kind {
        PUT_FIRST = 1, // before the key's values (replaces the value where there
                       // are no duplicates)
        PUT_LAST = 2,  // after the key's values
        REMOVE = 3,    // the first of the key's values equal to `value`
    };

    Kind kind = PUT_FIRST;
    bool duplicates = true;
    std::string database;
    std::string key;
    std::string value;

    // Makes the change through a cursor on the open database; true when it
    // is made, or, for a removal, when the value is not there to remove.
    bool Apply(struct __dbc* cursor) const;

    // Applies the change to `values`, a key's values in the library's order.
    template <class Values> void ApplyTo(Values& values) const
    {
        if (kind == PUT_FIRST) {
            if (!duplicates) values.clear();
            values.insert(values.begin(), value);
        } else if (kind == PUT_LAST) {
            values.push_back(value);
        } else {
            for (auto it = values.begin(); it != values.end(); ++it)
                if (*it == value) {
                    values.erase(it);
                    break;
                }
        }
    }

    // The bytes the journal keeps; Decode takes exactly those bytes back.
    std::string Encode() const;
    bool Decode(const std::string& bytes);
};
