#include "dialog_host.h"

namespace {
CDialogHost* g_host = nullptr;
}

void SetDialogHost(CDialogHost* host) { g_host = host; }
CDialogHost* GetDialogHost() { return g_host; }
