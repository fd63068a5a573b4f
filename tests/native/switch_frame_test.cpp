// The switch protocol's frame reader on its own: the limits of a frame. How
// a stream cut anywhere becomes frames is the fuzz harness's; what a bad
// frame does to a connection is smsd's test.
#include "switch_frame.h"

#include <gtest/gtest.h>

using namespace switchproto;

namespace {

std::string Length(uint32_t length)
{
    std::string out;
    PutU32(out, length);
    return out;
}

} // namespace

TEST(FrameReaderTest, TheLargestFrameIsReadAndOneByteMoreIsRefused)
{
    const std::string largest = Encode(kData, std::string(kMaxFrame - 1, 'z'));
    FrameReader reader;
    reader.Feed(largest.data(), largest.size());
    Frame frame;
    std::string error;
    ASSERT_EQ(FrameReader::kFrame, reader.Next(frame, error)) << error;
    EXPECT_EQ(kMaxFrame - 1, frame.payload.size());

    // Refused from the length alone: the 70001 bytes need not arrive first.
    FrameReader oversized;
    const std::string head = Length(70001) + std::string(1, static_cast<char>(kData));
    oversized.Feed(head.data(), head.size());
    frame = Frame();
    EXPECT_EQ(FrameReader::kBad, oversized.Next(frame, error));
    EXPECT_EQ("frame length 70001 outside 1..70000", error);
    EXPECT_EQ(0, frame.opcode) << "no frame comes out";
}

TEST(FrameReaderTest, AShortPayloadIsRefusedForEveryOpcode)
{
    struct Case {
        uint8_t opcode;
        size_t minimum;
    };
    const Case cases[] = {{kLogin, 4}, {kCall, 10}, {kData, 4}, {kBye, 4},
                          {kCallResult, 6}, {kServerData, 4}, {kIncoming, 10}};
    for (const Case& c : cases) {
        FrameReader shortOne;
        const std::string bytes = Encode(c.opcode, std::string(c.minimum - 1, '\x01'));
        shortOne.Feed(bytes.data(), bytes.size());
        Frame frame;
        std::string error;
        EXPECT_EQ(FrameReader::kBad, shortOne.Next(frame, error)) << "opcode " << int(c.opcode);
        EXPECT_EQ("short payload for opcode " + std::to_string(c.opcode), error);

        FrameReader enough;
        const std::string exact = Encode(c.opcode, std::string(c.minimum, '\x01'));
        enough.Feed(exact.data(), exact.size());
        EXPECT_EQ(FrameReader::kFrame, enough.Next(frame, error)) << "opcode " << int(c.opcode) << ": " << error;
        EXPECT_EQ(c.minimum, frame.payload.size());
    }
}
