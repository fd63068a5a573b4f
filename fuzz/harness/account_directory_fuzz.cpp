// An account directory file, as the host and smsd load it.
#include "check.h"
#include "account_directory.h"

#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    AccountDirectory directory = AccountDirectory::BuiltIn();
    const size_t builtIn = directory.Accounts().size();
    Check(builtIn > 0, "no built-in accounts");
    std::string error;
    const bool ok = directory.Parse(text, error);
    if (!ok) {
        Check(error.compare(0, 5, "line ") == 0, "an error that names no line");
        // A directory that does not parse leaves the one before in place.
        Check(directory.Accounts().size() == builtIn, "a failed parse changed the directory");
        return 0;
    }
    for (const auto& entry : directory.Accounts()) {
        Check(entry.first != 0 && entry.first == entry.second.number, "an account filed under another number");
        Check(directory.Find(entry.first) == &entry.second, "an account that Find does not find");
        for (uint32_t number : entry.second.friends) Check(number != 0, "a friend numbered 0");
        for (uint32_t number : entry.second.strangers) Check(number != 0, "a stranger numbered 0");
    }
    Check(directory.Find(0) == nullptr, "an account numbered 0");
    return 0;
}
