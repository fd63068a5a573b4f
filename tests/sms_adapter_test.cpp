// The module's adapter driven by its framework callbacks as the signalling
// module's network thread would call them.
#include "adapter_block.h"

#include <gtest/gtest.h>

namespace {

int g_deleted = 0;
class CCountingAdapter : public CSmsAdapter {
public:
    ~CCountingAdapter() override { ++g_deleted; }
};

} // namespace

// Each block is posted as a copy: the framework reuses its buffer.
TEST(SmsAdapterTest, UnmarkedAdaptersPostACopyOfTheirFirstBlockAndGoMarkedOnesStay)
{
    const HWND target = CreateWindowA("Static", "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    const HWND previous = GetSmsDataTarget();
    SetSmsDataTarget(target);
    g_deleted = 0;
    const std::string whole = Fields("\x01|4|x|1|hi") + '\0';
    std::vector<char> block(whole.begin(), whole.end());
    CCountingAdapter* unmarked = new CCountingAdapter;
    unmarked->OnRecvData(block.data(), block.size());
    EXPECT_EQ(1, g_deleted) << "released itself after its first block";

    CCountingAdapter* marked = new CCountingAdapter;
    marked->MarkKeep();
    marked->OnRecvData(block.data(), block.size());
    marked->OnRecvData(block.data(), 3);
    std::fill(block.begin(), block.end(), 'X');
    EXPECT_EQ(1, g_deleted);

    std::vector<std::string> posted;
    MSG message;
    while (PeekMessageA(&message, target, WM_SMSDATA, WM_SMSDATA, PM_REMOVE)) {
        posted.emplace_back(reinterpret_cast<char*>(message.lParam), message.wParam);
        delete[] reinterpret_cast<char*>(message.lParam);
    }
    EXPECT_EQ((std::vector<std::string>{whole, whole, whole.substr(0, 3)}), posted);
    marked->Release();
    EXPECT_EQ(2, g_deleted);
    SetSmsDataTarget(previous);
    DestroyWindow(target);
}
