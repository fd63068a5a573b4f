// A byte stream from a switch peer, cut into reads of varying size as a
// socket would, through the frame reader. Every frame it returns must be the
// very bytes of the stream at that point, and nothing may be left unread
// that makes up a whole frame.
#include "check.h"
#include "switch_frame.h"

#include <cstdint>
#include <string>

using namespace switchproto;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1) return 0;
    // The first byte sets the read size: 1 to 64, or 256 at once.
    const size_t step = data[0] == 0xFF ? 256 : (data[0] & 0x3F) + 1;
    const std::string stream(reinterpret_cast<const char*>(data) + 1, size - 1);

    FrameReader reader;
    size_t fed = 0;
    size_t consumed = 0;
    bool bad = false;
    while (fed < stream.size() && !bad) {
        const size_t chunk = stream.size() - fed < step ? stream.size() - fed : step;
        reader.Feed(stream.data() + fed, chunk);
        fed += chunk;
        for (;;) {
            Frame frame;
            std::string error;
            const FrameReader::Result result = reader.Next(frame, error);
            if (result == FrameReader::kNeedMore) {
                Check(error.empty(), "an error without kBad");
                break;
            }
            if (result == FrameReader::kBad) {
                Check(!error.empty(), "kBad without a reason");
                bad = true;
                break;
            }
            Check(result == FrameReader::kFrame, "an unknown result");
            bool known = false;
            const size_t minimum = MinimumPayload(frame.opcode, known);
            Check(known, "a frame with an unknown opcode");
            Check(frame.payload.size() >= minimum, "a frame shorter than its opcode needs");
            const std::string encoded = Encode(frame.opcode, frame.payload);
            Check(stream.compare(consumed, encoded.size(), encoded) == 0, "a frame that is not the stream's bytes");
            consumed += encoded.size();
            Check(consumed <= fed, "a frame from bytes not yet fed");
        }
    }
    if (!bad) {
        // Waiting for more: what is left is less than a whole frame.
        const std::string rest = stream.substr(consumed);
        if (rest.size() >= 4)
            Check(4 + static_cast<size_t>(GetU32(rest, 0)) > rest.size(), "a whole frame left unread");
    }
    return 0;
}
