// The switch protocol's frame reader on its own: the largest frame. How a
// stream cut anywhere becomes frames is the fuzz harness's; what a bad or
// short frame does to a connection is smsd's test.
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
