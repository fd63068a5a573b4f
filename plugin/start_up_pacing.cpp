#include "start_up_pacing.h"

CStartUpPacing::Step CStartUpPacing::Tick(bool connected)
{
    m_nElapsedMs += TICK_MS;
    if (!connected && m_nElapsedMs < CALL_LIMIT_MS) return m_nElapsedMs % CALL_PERIOD_MS == 0 ? STEP_CALL : STEP_WAIT;
    if (connected && m_nElapsedMs < QUERY_LIMIT_MS) return m_nElapsedMs % QUERY_PERIOD_MS == 0 ? STEP_QUERY : STEP_WAIT;
    return STEP_GIVE_UP;
}
