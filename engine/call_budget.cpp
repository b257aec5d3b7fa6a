// How many calls one file gets and how long to wait between them.
#include "engine/call_budget.h"

#include <algorithm>

void CallBudget::Record(long long kept)
{
    ++m_calls;
    // Measured against the most that was ever kept, not the bytes this call sent: a server that
    // ignores ranges and breaks at the same place each time sends much and moves nothing on.
    m_bLastProgressed = kept >= m_bestKept + kProgressBytes;
    m_bestKept = std::max(m_bestKept, kept);
    if (!m_bLastProgressed)
        ++m_idleCalls;
}

unsigned CallBudget::PauseBeforeNextMs(unsigned jitter) const
{
    if (m_bLastProgressed || m_idleCalls == 0)
        return 0;
    const unsigned base = 500u << std::min(m_idleCalls - 1, 3);
    return base * (800u + std::min(jitter, 999u) * 400u / 1000u) / 1000u;
}
