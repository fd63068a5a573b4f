// The switch protocol's frame reader on its own: how bytes from a stream
// become frames, and what it says about bytes that are not a frame.
#include "switch_frame.h"

#include <gtest/gtest.h>

#include <vector>

using namespace switchproto;

namespace {

std::string Length(uint32_t length)
{
    std::string out;
    PutU32(out, length);
    return out;
}

std::string CallPayload(uint32_t sid)
{
    std::string payload;
    PutU32(payload, sid);
    PutU32(payload, 10001);
    PutU16(payload, kSmsType);
    return payload + "extra";
}

// Every frame the reader gives for `bytes` fed in one piece, then the result
// that stopped it.
FrameReader::Result ReadAll(FrameReader& reader, std::vector<Frame>& frames, std::string& error)
{
    Frame frame;
    FrameReader::Result result;
    while ((result = reader.Next(frame, error)) == FrameReader::kFrame) frames.push_back(frame);
    return result;
}

} // namespace

TEST(FrameReaderTest, BytesFedOneAtATimeGiveTheFrameOnlyWithItsLastByte)
{
    const std::string bytes = Encode(kCall, CallPayload(7));
    FrameReader reader;
    Frame frame;
    std::string error;
    for (size_t i = 0; i + 1 < bytes.size(); ++i) {
        reader.Feed(&bytes[i], 1);
        ASSERT_EQ(FrameReader::kNeedMore, reader.Next(frame, error)) << "after byte " << i;
    }
    reader.Feed(&bytes.back(), 1);
    ASSERT_EQ(FrameReader::kFrame, reader.Next(frame, error)) << error;
    EXPECT_EQ(kCall, frame.opcode);
    EXPECT_EQ(CallPayload(7), frame.payload);
    EXPECT_EQ(FrameReader::kNeedMore, reader.Next(frame, error)) << "nothing is left";
}

TEST(FrameReaderTest, TwoFramesInOneReadComeOutInOrder)
{
    std::string data;
    PutU32(data, 0x80000001u);
    data += std::string("\x00\x01\xc4\xe3", 4);
    const std::string bytes = Encode(kServerData, data) + Encode(kLoginOk, "");
    FrameReader reader;
    reader.Feed(bytes.data(), bytes.size());
    std::vector<Frame> frames;
    std::string error;
    EXPECT_EQ(FrameReader::kNeedMore, ReadAll(reader, frames, error)) << error;
    ASSERT_EQ(2u, frames.size());
    EXPECT_EQ(kServerData, frames[0].opcode);
    EXPECT_EQ(data, frames[0].payload) << "the payload's NUL and GBK bytes are kept";
    EXPECT_EQ(kLoginOk, frames[1].opcode);
    EXPECT_EQ("", frames[1].payload);
}

TEST(FrameReaderTest, ALengthSplitAcrossReads)
{
    std::string payload;
    PutU32(payload, 42);
    const std::string bytes = Encode(kBye, payload) + Encode(kBye, payload);
    FrameReader reader;
    Frame frame;
    std::string error;
    // The first frame whole and two bytes of the second one's length.
    reader.Feed(bytes.data(), 11);
    ASSERT_EQ(FrameReader::kFrame, reader.Next(frame, error)) << error;
    EXPECT_EQ(FrameReader::kNeedMore, reader.Next(frame, error));
    reader.Feed(bytes.data() + 11, 2);
    EXPECT_EQ(FrameReader::kNeedMore, reader.Next(frame, error));
    reader.Feed(bytes.data() + 13, bytes.size() - 13);
    ASSERT_EQ(FrameReader::kFrame, reader.Next(frame, error)) << error;
    EXPECT_EQ(kBye, frame.opcode);
    EXPECT_EQ(42u, GetU32(frame.payload, 0));
}

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

TEST(FrameReaderTest, AZeroLengthIsRefused)
{
    const std::string bytes = Length(0) + Encode(kLoginOk, "");
    FrameReader reader;
    reader.Feed(bytes.data(), bytes.size());
    std::vector<Frame> frames;
    std::string error;
    EXPECT_EQ(FrameReader::kBad, ReadAll(reader, frames, error));
    EXPECT_EQ("frame length 0 outside 1..70000", error);
    EXPECT_TRUE(frames.empty()) << "the frame after the bad length is not read";
}

TEST(FrameReaderTest, AnUnknownOpcodeIsRefusedAfterTheFramesBeforeIt)
{
    const std::string bytes = Encode(kLoginOk, "") + Encode(0x7f, "abcd");
    FrameReader reader;
    reader.Feed(bytes.data(), bytes.size());
    std::vector<Frame> frames;
    std::string error;
    EXPECT_EQ(FrameReader::kBad, ReadAll(reader, frames, error));
    EXPECT_EQ("unknown opcode 127", error);
    ASSERT_EQ(1u, frames.size());
    EXPECT_EQ(kLoginOk, frames[0].opcode);
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
