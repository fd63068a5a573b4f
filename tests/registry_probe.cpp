#include "registry_probe.h"

#include "plugin/sms_util_plugin.h"
#include "dialogs/window_registry.h"

#include <gtest/gtest.h>

IMPLEMENT_DYNCREATE(CProbeWindow, CWnd)
std::vector<std::string> CProbeWindow::destroyed;
std::string CProbeWindow::userIdAtDestroy;
int CProbeWindow::alive = 0;

bool CProbeWindow::Open()
{
    RECT empty = {0, 0, 0, 0};
    return CreateEx(0, nullptr, m_strRegKey, WS_POPUP, empty, nullptr, 0);
}

void CProbeWindow::PostNcDestroy()
{
    destroyed.push_back((const char*)m_strRegKey);
    if (GetSmsUtilPlugin()) userIdAtDestroy = (const char*)GetSmsUtilPlugin()->GetUserId();
    Unregister();
}

CProbeWindow* OpenProbe(const char* key)
{
    auto probe = static_cast<CProbeWindow*>(CreateRegisteredWindow(RUNTIME_CLASS(CProbeWindow), key));
    if (!probe) return nullptr;
    probe->m_strRegKey = key;
    EXPECT_TRUE(probe->Open());
    return probe;
}

