// The bytes of a DATA frame on a call to another account: smsd's reading of
// a send request, its scheduled time and the log form of the bytes. A request
// that parses must be exactly the fields it was read into.
#include "check.h"
#include "gbk.h"
#include "service_text.h"

#include <cstdint>
#include <string>

using namespace smsd;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    SendRequest request;
    std::string error;
    const bool ok = ParseSendRequest(bytes, request, error);
    Check(ok == error.empty(), "a result that disagrees with its error");

    const std::string printable = Printable(bytes);
    Check(printable.size() >= bytes.size() && printable.size() <= 4 * bytes.size(), "a log form of the wrong size");
    for (unsigned char c : printable) Check(c >= 0x20 && c < 0x7F, "a log form with an unprintable byte");

    if (ok) {
        std::string rebuilt = std::string("2") + kSeparator + request.sender + ":" + kSeparator + request.recipient +
                              kSeparator + request.text + kSeparator;
        rebuilt += request.scheduled ? std::string("1") + kSeparator + request.time : std::string("0");
        rebuilt += '\0';
        Check(rebuilt == bytes, "a request that is not the fields it was read into");
        Check(request.scheduled || request.time.empty(), "a time on a request sent at once");
    }

    // The time field of a scheduled request, or the whole input as one.
    time_t when = 0;
    const std::string& timeText = ok && request.scheduled ? request.time : bytes;
    if (ParseLocalTime(timeText, when)) Check(when != static_cast<time_t>(-1), "a time that reads as -1");
    return 0;
}
