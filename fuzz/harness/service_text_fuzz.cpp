// A received block as the signalling module hands it over, through the
// service text parser and its handlers. The block's first byte (one of the
// two transport bytes, which the parser skips) decides whether a start-up
// waits for its answer, so both paths of a start-up answer are reached.
#include "transport/service_text.h"

#include "store/sms_record.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

class RecordingSink : public CServiceTextSink {
public:
    explicit RecordingSink(bool awaits) : m_awaits(awaits) {}
    bool AwaitsStartUpAnswer() override { return m_awaits; }
    void OnStartUpAnswer(const char* serviceUrl, const char* registerPhone, bool accepted) override
    {
        if (!m_awaits || !serviceUrl || !registerPhone) Fail("start-up answer nobody waited for, or a null field");
        // Both point into the parser's own copy of the text.
        m_sum += strlen(serviceUrl) + strlen(registerPhone);
        ++answers;
        lastAccepted = accepted;
    }
    void OnServiceRecord(const CSmsRecord& record) override
    {
        if (record.kind != CSmsRecord::KIND_RECEIVED && record.kind != CSmsRecord::KIND_UNDELIVERED)
            Fail("a service record of an unexpected kind");
        if (record.time.GetLength() != 19) Fail("a service record without its local time");
        m_sum += record.peer.GetLength() + record.text.GetLength();
        ++records;
    }

    int answers = 0;
    int records = 0;
    bool lastAccepted = false;

private:
    static void Fail(const char* what)
    {
        fprintf(stderr, "service text: %s\n", what);
        abort();
    }
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
    if (hasText != (size > 2)) abort();
    if (!hasText) return 0;
    if (text != block + 2 || length != static_cast<int>(size) - 2) abort();

    RecordingSink sink(size > 0 && (data[0] & 1) != 0);
    const int handled = ParseServiceText(text, length, sink);
    if (handled != 0 && handled != 1) abort();
    // One text causes at most one thing; a start-up answer is "handled" only
    // when it accepted the account.
    if (sink.answers + sink.records > 1) abort();
    if (sink.records == 1 && handled != 1) abort();
    if (sink.answers == 1 && handled != (sink.lastAccepted ? 1 : 0)) abort();
    if (handled == 1 && sink.answers + sink.records != 1) abort();
    return 0;
}
