// A dialog stand-in for registry tests: it unregisters itself when its window
// goes, as the plugin's dialogs do, and reports what it saw then.
#pragma once
#include "dialogs/registered_window.h"

#include <string>
#include <vector>

class CProbeWindow : public CWnd, public CRegisteredWindow {
    DECLARE_DYNCREATE(CProbeWindow)
public:
    static std::vector<std::string> destroyed; // keys, in the order their windows went
    static std::string userIdAtDestroy;        // the plugin's account then
    static int alive;
    CProbeWindow() { ++alive; }
    ~CProbeWindow() override { --alive; }
    bool Open();

protected:
    void PostNcDestroy() override;
};

// Registers a probe under `key` and creates its window; null for a refused key.
CProbeWindow* OpenProbe(const char* key);
