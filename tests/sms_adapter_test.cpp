// The module's adapter and factory, driven by their framework callbacks as the
// signalling module's network thread would call them.
#include "transport/sms_adapter.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

int g_deleted = 0;
class CCountingAdapter : public CSmsAdapter {
public:
    ~CCountingAdapter() override { ++g_deleted; }
};

LRESULT CALLBACK SinkProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(window, message, wParam, lParam);
}

// A window that stands in for the service window as the adapters' target.
class DataTarget {
public:
    DataTarget()
    {
        WNDCLASSA sinkClass = {};
        sinkClass.lpfnWndProc = SinkProc;
        sinkClass.hInstance = GetModuleHandleA(nullptr);
        sinkClass.lpszClassName = "smsdata-sink";
        RegisterClassA(&sinkClass);
        window = CreateWindowA("smsdata-sink", "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
        m_previous = GetSmsDataTarget();
        SetSmsDataTarget(window);
    }
    ~DataTarget()
    {
        SetSmsDataTarget(m_previous);
        DestroyWindow(window);
    }
    // The blocks posted to the window, each freed after reading.
    std::vector<std::string> Take()
    {
        std::vector<std::string> blocks;
        MSG message;
        while (PeekMessageA(&message, window, WM_SMSDATA, WM_SMSDATA, PM_REMOVE)) {
            char* copy = reinterpret_cast<char*>(message.lParam);
            blocks.emplace_back(copy, message.wParam);
            delete[] copy;
        }
        return blocks;
    }
    HWND window;

private:
    HWND m_previous;
};

} // namespace

TEST(SmsAdapterTest, MarkKeepOnlyBeforeTheFirstCall)
{
    CSmsAdapter* marked = new CSmsAdapter;
    EXPECT_TRUE(marked->MarkKeep());
    EXPECT_EQ(1, marked->m_bKeep);
    CSmsAdapter* late = new CSmsAdapter;
    late->SetApplicationID("10001");
    late->Call(10001, 20061, nullptr, 0);
    EXPECT_EQ(1, late->m_bCalled);
    EXPECT_FALSE(late->MarkKeep());
    EXPECT_EQ(0, late->m_bKeep);
    marked->Release();
    late->Release();
}

TEST(SmsAdapterTest, ConnectionFollowsCallResultsAndTheLink)
{
    CSmsAdapter* adapter = new CSmsAdapter;
    adapter->OnCallResult(1, 0, 0, 0, 0, 0, 0);
    EXPECT_EQ(0, adapter->m_bConnected) << "only status 0 answers the call";
    adapter->OnCallResult(0, 0, 0, 0, 0, 0, 0);
    EXPECT_EQ(1, adapter->m_bConnected);
    adapter->OnDisconnected(0);
    EXPECT_EQ(0, adapter->m_bConnected) << "the link went down and the call with it";
    adapter->OnConnected();
    EXPECT_EQ(1, adapter->m_bConnected);
    adapter->Release();
}

// Each block is posted as a copy: the framework reuses its buffer.
TEST(SmsAdapterTest, UnmarkedAdaptersPostACopyOfTheirFirstBlockAndGoMarkedOnesStay)
{
    DataTarget target;
    g_deleted = 0;
    char block[] = "\x01\x02" "4\x02x\x02" "1\x02hi";
    const std::string whole(block, sizeof block);
    CCountingAdapter* unmarked = new CCountingAdapter;
    unmarked->OnRecvData(block, sizeof block);
    EXPECT_EQ(1, g_deleted) << "released itself after its first block";

    CCountingAdapter* marked = new CCountingAdapter;
    marked->MarkKeep();
    marked->OnRecvData(block, sizeof block);
    marked->OnRecvData(block, 3);
    memset(block, 'X', sizeof block);
    EXPECT_EQ(1, g_deleted);

    EXPECT_EQ((std::vector<std::string>{whole, whole, whole.substr(0, 3)}), target.Take());
    marked->Release();
    EXPECT_EQ(2, g_deleted);
}

TEST(SmsAdapterTest, WithoutATargetNothingIsPosted)
{
    const HWND previous = GetSmsDataTarget();
    SetSmsDataTarget(nullptr);
    const char block[] = "\x01\x02" "4\x02x\x02" "1\x02hi";
    CSmsAdapter* adapter = new CSmsAdapter;
    adapter->MarkKeep();
    adapter->OnRecvData(block, sizeof block);
    // A post to no window would land in this thread's own queue, where no
    // window would ever free it.
    MSG message;
    EXPECT_FALSE(PeekMessageA(&message, reinterpret_cast<HWND>(-1), WM_SMSDATA, WM_SMSDATA, PM_REMOVE));
    adapter->Release();
    SetSmsDataTarget(previous);
}
