// How many calls one file gets and how long to wait between them.
#pragma once

// A call that moves the file on (the kept part grew by a piece, or the file came whole) costs nothing;
// one that does not uses up one of a few calls, and the next waits a little longer each time (about
// 0.5, 1, 2, 4 s, with some jitter so that many failing files do not call in step). A hard cap keeps a
// server that drips a few bytes per connection from holding the walk for ever.
class CallBudget {
public:
    static constexpr int kCallsWithoutProgress = 5;
    static constexpr int kMaxCalls = 100;
    static constexpr long long kProgressBytes = 64 * 1024;

    // One call ended with kept bytes of the file that a next call can build on (0 when it must start over).
    void Record(long long kept);
    bool MayCallAgain() const { return m_idleCalls < kCallsWithoutProgress && m_calls < kMaxCalls; }
    int Calls() const { return m_calls; }
    // The wait before the next call in ms: none after a call that made progress. jitter in [0, 1000)
    // spreads it over 80 to 120 % of the base.
    unsigned PauseBeforeNextMs(unsigned jitter) const;

private:
    int m_calls = 0;
    int m_idleCalls = 0;
    long long m_bestKept = 0;
    bool m_bLastProgressed = false;
};
