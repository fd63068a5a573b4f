// A received block as the signalling module hands it over, through the
// service text parser and its handlers. The block's first byte (one of the
// two transport bytes, which the parser skips) decides whether a start-up
// waits for its answer, so both paths of a start-up answer are reached.
#include "check.h"
#include "transport/service_text.h"

#include "store/sms_record.h"

#include <cstdint>
#include <cstring>

namespace {

class RecordingSink : public CServiceTextSink {
public:
    explicit RecordingSink(bool awaits) : m_awaits(awaits) {}
    bool AwaitsStartUpAnswer() override { return m_awaits; }
    void OnStartUpAnswer(const char* serviceUrl, const char* registerPhone, bool accepted) override
    {
        Check(m_awaits && serviceUrl && registerPhone, "a start-up answer nobody waited for, or a null field");
        // Both point into the parser's own copy of the text.
        m_sum += strlen(serviceUrl) + strlen(registerPhone);
        ++answers;
        lastAccepted = accepted;
    }
    void OnServiceRecord(const CSmsRecord& record) override
    {
        Check(record.kind == CSmsRecord::KIND_RECEIVED || record.kind == CSmsRecord::KIND_UNDELIVERED,
              "a service record of an unexpected kind");
        Check(record.time.GetLength() == 19, "a service record without its local time");
        m_sum += record.peer.GetLength() + record.text.GetLength();
        ++records;
    }

    int answers = 0;
    int records = 0;
    bool lastAccepted = false;

private:
    bool m_awaits;
    size_t m_sum = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const char* block = reinterpret_cast<const char*>(data);
    const char* text = nullptr;
    int length = 0;
    if (size > 0x7FFFFFFF) return 0;
    const bool hasText = ServiceTextOfBlock(block, static_cast<int>(size), text, length);
    Check(hasText == (size > 2), "a block's text found or missed by its size");
    if (!hasText) return 0;
    Check(text == block + 2 && length == static_cast<int>(size) - 2, "a text that is not the block after two bytes");

    RecordingSink sink(size > 0 && (data[0] & 1) != 0);
    const int handled = ParseServiceText(text, length, sink);
    // One text causes at most one thing; a start-up answer is "handled" only
    // when it accepted the account.
    Check(handled == 0 || handled == 1, "a result that is neither 0 nor 1");
    Check(sink.answers + sink.records <= 1, "one text caused two things");
    Check(sink.records == 0 || handled == 1, "a record not counted as handled");
    Check(sink.answers == 0 || handled == (sink.lastAccepted ? 1 : 0), "a start-up answer handled as it was not");
    Check(handled == 0 || sink.answers + sink.records == 1, "handled without an answer or a record");
    return 0;
}
