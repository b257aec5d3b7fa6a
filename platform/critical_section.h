// A critical section object and a scoped lock for it.
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
