// A critical section object, a scoped lock for it, and a condition variable that waits on it.
#pragma once

#include <windows.h>

class CCriticalSection {
public:
    CCriticalSection() noexcept { ::InitializeCriticalSection(&m_cs); }
    ~CCriticalSection() { ::DeleteCriticalSection(&m_cs); }
    CCriticalSection(const CCriticalSection&) = delete;
    CCriticalSection& operator=(const CCriticalSection&) = delete;

    void Lock() noexcept { ::EnterCriticalSection(&m_cs); }
    void Unlock() noexcept { ::LeaveCriticalSection(&m_cs); }
    CRITICAL_SECTION* native() noexcept { return &m_cs; }

private:
    CRITICAL_SECTION m_cs;
};

class CSingleLock {
public:
    explicit CSingleLock(CCriticalSection& cs) noexcept : m_cs(cs) { m_cs.Lock(); }
    ~CSingleLock() { m_cs.Unlock(); }
    CSingleLock(const CSingleLock&) = delete;
    CSingleLock& operator=(const CSingleLock&) = delete;

private:
    CCriticalSection& m_cs;
};

// Waits release the (held) critical section and take it again before they return.
class CConditionVariable {
public:
    CConditionVariable() noexcept { ::InitializeConditionVariable(&m_cv); }
    CConditionVariable(const CConditionVariable&) = delete;
    CConditionVariable& operator=(const CConditionVariable&) = delete;

    // False when the time ran out first (spurious wake-ups are possible: look again either way).
    bool Wait(CCriticalSection& cs, DWORD ms) noexcept { return ::SleepConditionVariableCS(&m_cv, cs.native(), ms) != FALSE; }
    void WakeAll() noexcept { ::WakeAllConditionVariable(&m_cv); }

private:
    CONDITION_VARIABLE m_cv;
};
