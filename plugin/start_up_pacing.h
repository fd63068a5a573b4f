// The pace of the service's start-up, without a window: the service is
// called every CALL_PERIOD_MS until the call is answered or CALL_LIMIT_MS
// have passed, then asked every QUERY_PERIOD_MS until it is ready or
// QUERY_LIMIT_MS have passed. Both limits run from the start, connected or
// not, so a late answer to the call leaves fewer queries.
#pragma once
#include <windows.h>

class CStartUpPacing {
public:
    enum : UINT {
        TICK_MS = 100,
        CALL_PERIOD_MS = 500, // until the call is answered
        CALL_LIMIT_MS = 3000,
        QUERY_PERIOD_MS = 1000, // once it is
        QUERY_LIMIT_MS = 6000,
    };

    enum Step { STEP_WAIT, STEP_CALL, STEP_QUERY, STEP_GIVE_UP };

    void Restart() { m_nElapsedMs = 0; }
    // What to do at the next tick, TICK_MS after the last.
    Step Tick(bool connected);
    UINT ElapsedMs() const { return m_nElapsedMs; }

private:
    UINT m_nElapsedMs = 0;
};
