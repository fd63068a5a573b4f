// The dialog registry: one dialog per key, and the walks that close them
// while they remove their own entries.
#include "dialogs/registered_window.h"
#include "dialogs/window_registry.h"
#include "registry_probe.h"

#include <gtest/gtest.h>

namespace {

// Registered, but never removes its entry.
class CPlainWindow : public CWnd {
    DECLARE_DYNCREATE(CPlainWindow)
};
IMPLEMENT_DYNCREATE(CPlainWindow, CWnd)

class NotAWindow : public CObject {
    DECLARE_DYNCREATE(NotAWindow)
};
IMPLEMENT_DYNCREATE(NotAWindow, CObject)

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(InitWindowRegistry());
        CProbeWindow::destroyed.clear();
    }
    void TearDown() override { FreeWindowRegistry(); }
};

} // namespace

TEST_F(RegistryTest, OneWindowPerKey)
{
    CProbeWindow* first = OpenProbe("r10001");
    ASSERT_NE(nullptr, first);
    EXPECT_EQ(first, FindRegisteredWindow("r10001"));
    EXPECT_EQ(nullptr, CreateRegisteredWindow(RUNTIME_CLASS(CProbeWindow), "r10001"));
    EXPECT_EQ(first, FindRegisteredWindow("r10001")) << "the present entry is left alone";
    EXPECT_EQ(nullptr, CreateRegisteredWindow(RUNTIME_CLASS(CProbeWindow), ""));
    EXPECT_EQ(nullptr, CreateRegisteredWindow(RUNTIME_CLASS(NotAWindow), "x"));
    EXPECT_EQ(nullptr, FindRegisteredWindow("x"));
    EXPECT_EQ(nullptr, FindRegisteredWindow(""));
    EXPECT_EQ(nullptr, FindRegisteredWindow("c10001"));
}

TEST_F(RegistryTest, RemoveDeletesTheObjectAndItsWindow)
{
    const int before = CProbeWindow::alive;
    CProbeWindow* probe = OpenProbe("c10002");
    HWND window = probe->m_hWnd;
    EXPECT_FALSE(RemoveRegisteredWindow("c10003"));
    EXPECT_TRUE(RemoveRegisteredWindow("c10002"));
    EXPECT_EQ(before, CProbeWindow::alive) << "object deleted";
    EXPECT_FALSE(IsWindow(window)) << "deleting the object destroyed its window";
    EXPECT_EQ(nullptr, FindRegisteredWindow("c10002"));
    EXPECT_FALSE(RemoveRegisteredWindow("c10002"));
}

TEST_F(RegistryTest, DestroyAllCopesWithWindowsRemovingTheirOwnEntries)
{
    const int before = CProbeWindow::alive;
    for (int i = 0; i < 25; ++i) {
        char key[16];
        sprintf(key, "r%d", 10000 + i);
        ASSERT_NE(nullptr, OpenProbe(key));
    }
    auto plain = static_cast<CPlainWindow*>(CreateRegisteredWindow(RUNTIME_CLASS(CPlainWindow), "smsutil_order"));
    RECT empty = {0, 0, 0, 0};
    ASSERT_TRUE(plain->CreateEx(0, nullptr, "plain", WS_POPUP, empty, nullptr, 0));
    HWND plainWindow = plain->m_hWnd;

    DestroyRegisteredWindows();
    EXPECT_EQ(25u, CProbeWindow::destroyed.size());
    EXPECT_EQ(before, CProbeWindow::alive) << "every self-removing window deleted itself";
    EXPECT_FALSE(IsWindow(plainWindow));
    EXPECT_EQ(nullptr, FindRegisteredWindow("smsutil_order"));
    EXPECT_EQ(nullptr, FindRegisteredWindow("r10003"));
    delete plain; // not self-deleting: the registry only forgot it
}

TEST_F(RegistryTest, EntryWithoutWindowSurvivesDestroyAllAsNothing)
{
    ASSERT_NE(nullptr, CreateRegisteredWindow(RUNTIME_CLASS(CProbeWindow), "c1"));
    const int alive = CProbeWindow::alive;
    DestroyRegisteredWindows();
    EXPECT_EQ(nullptr, FindRegisteredWindow("c1"));
    EXPECT_EQ(alive, CProbeWindow::alive);
}

