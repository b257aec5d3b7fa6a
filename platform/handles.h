// One owner type for every Win32 handle, GDI object and COM pointer: each releases exactly once.
#pragma once

#include <windows.h>
#include <objbase.h>
#include <wininet.h>
#include <bcrypt.h>

#include <utility>

// Owns one handle through a policy: Traits::pointer, Traits::invalid() and Traits::close(h).
template <typename Traits>
class unique_handle {
public:
    using pointer = typename Traits::pointer;

    unique_handle() noexcept = default;
    explicit unique_handle(pointer h) noexcept : m_h(h) {}
    unique_handle(unique_handle&& other) noexcept : m_h(other.release()) {}
    unique_handle& operator=(unique_handle&& other) noexcept
    {
        reset(other.release());
        return *this;
    }
    unique_handle(const unique_handle&) = delete;
    unique_handle& operator=(const unique_handle&) = delete;
    ~unique_handle() { reset(); }

    pointer get() const noexcept { return m_h; }
    explicit operator bool() const noexcept { return m_h != Traits::invalid(); }
    pointer release() noexcept { return std::exchange(m_h, Traits::invalid()); }
    void reset(pointer h = Traits::invalid()) noexcept
    {
        const pointer old = std::exchange(m_h, h);
        if (old != Traits::invalid())
            Traits::close(old);
    }

private:
    pointer m_h = Traits::invalid();
};

struct KernelHandleTraits {   // threads, events, mutexes, file mappings: empty is NULL
    using pointer = HANDLE;
    static pointer invalid() noexcept { return nullptr; }
    static void close(pointer h) noexcept { ::CloseHandle(h); }
};
struct FileHandleTraits {     // CreateFile: empty is INVALID_HANDLE_VALUE
    using pointer = HANDLE;
    static pointer invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void close(pointer h) noexcept { ::CloseHandle(h); }
};
struct InternetHandleTraits {
    using pointer = HINTERNET;
    static pointer invalid() noexcept { return nullptr; }
    static void close(pointer h) noexcept { ::InternetCloseHandle(h); }
};
template <typename T>
struct GdiObjectTraits {
    using pointer = T;
    static pointer invalid() noexcept { return nullptr; }
    static void close(pointer h) noexcept { ::DeleteObject(h); }
};
struct MemoryDcTraits {
    using pointer = HDC;
    static pointer invalid() noexcept { return nullptr; }
    static void close(pointer h) noexcept { ::DeleteDC(h); }
};
struct MappedViewTraits {     // MapViewOfFile
    using pointer = void*;
    static pointer invalid() noexcept { return nullptr; }
    static void close(pointer p) noexcept { ::UnmapViewOfFile(p); }
};
struct BcryptAlgorithmTraits {
    using pointer = BCRYPT_ALG_HANDLE;
    static pointer invalid() noexcept { return nullptr; }
    static void close(pointer h) noexcept { ::BCryptCloseAlgorithmProvider(h, 0); }
};
struct BcryptKeyTraits {
    using pointer = BCRYPT_KEY_HANDLE;
    static pointer invalid() noexcept { return nullptr; }
    static void close(pointer h) noexcept { ::BCryptDestroyKey(h); }
};
struct BcryptHashTraits {
    using pointer = BCRYPT_HASH_HANDLE;
    static pointer invalid() noexcept { return nullptr; }
    static void close(pointer h) noexcept { ::BCryptDestroyHash(h); }
};
struct IconTraits {
    using pointer = HICON;
    static pointer invalid() noexcept { return nullptr; }
    static void close(pointer h) noexcept { ::DestroyIcon(h); }
};

using unique_kernel_handle = unique_handle<KernelHandleTraits>;
using unique_file = unique_handle<FileHandleTraits>;
using unique_hinternet = unique_handle<InternetHandleTraits>;
using unique_hbitmap = unique_handle<GdiObjectTraits<HBITMAP>>;
using unique_hfont = unique_handle<GdiObjectTraits<HFONT>>;
using unique_hbrush = unique_handle<GdiObjectTraits<HBRUSH>>;
using unique_hrgn = unique_handle<GdiObjectTraits<HRGN>>;
using unique_memory_dc = unique_handle<MemoryDcTraits>;
using unique_hicon = unique_handle<IconTraits>;
using unique_mapped_view = unique_handle<MappedViewTraits>;
using unique_bcrypt_algorithm = unique_handle<BcryptAlgorithmTraits>;
using unique_bcrypt_key = unique_handle<BcryptKeyTraits>;
using unique_bcrypt_hash = unique_handle<BcryptHashTraits>;

// A window's client DC, given back with ReleaseDC.
class window_dc {
public:
    explicit window_dc(HWND hwnd) noexcept : m_hwnd(hwnd), m_hdc(::GetDC(hwnd)) {}
    ~window_dc() { if (m_hdc) ::ReleaseDC(m_hwnd, m_hdc); }
    window_dc(const window_dc&) = delete;
    window_dc& operator=(const window_dc&) = delete;
    HDC get() const noexcept { return m_hdc; }

private:
    HWND m_hwnd;
    HDC m_hdc;
};

// BeginPaint ... EndPaint.
class paint_dc {
public:
    explicit paint_dc(HWND hwnd) noexcept : m_hwnd(hwnd) { m_hdc = ::BeginPaint(hwnd, &m_ps); }
    ~paint_dc() { ::EndPaint(m_hwnd, &m_ps); }
    paint_dc(const paint_dc&) = delete;
    paint_dc& operator=(const paint_dc&) = delete;
    HDC get() const noexcept { return m_hdc; }

private:
    HWND m_hwnd;
    PAINTSTRUCT m_ps{};
    HDC m_hdc = nullptr;
};

// Selects an object into a DC and puts the previous one back when it goes out of scope.
class select_guard {
public:
    select_guard(HDC hdc, HGDIOBJ obj) noexcept : m_hdc(hdc), m_old(obj ? ::SelectObject(hdc, obj) : nullptr) {}
    ~select_guard() { if (m_old) ::SelectObject(m_hdc, m_old); }
    select_guard(const select_guard&) = delete;
    select_guard& operator=(const select_guard&) = delete;

private:
    HDC m_hdc;
    HGDIOBJ m_old;
};

// Owns one reference of a COM interface.
template <typename T>
class com_ptr {
public:
    com_ptr() noexcept = default;
    ~com_ptr() { reset(); }
    com_ptr(const com_ptr&) = delete;
    com_ptr& operator=(const com_ptr&) = delete;
    T* operator->() const noexcept { return m_p; }
    T* get() const noexcept { return m_p; }
    explicit operator bool() const noexcept { return m_p != nullptr; }
    // For out-parameters: releases what is held and hands out the slot.
    T** put() noexcept { reset(); return &m_p; }
    void** put_void() noexcept { return reinterpret_cast<void**>(put()); }
    void reset() noexcept
    {
        if (m_p) {
            m_p->Release();
            m_p = nullptr;
        }
    }

private:
    T* m_p = nullptr;
};

// CoInitialize for the scope of one routine; CoUninitialize on every way out when it succeeded.
class com_apartment {
public:
    com_apartment() noexcept : m_hr(::CoInitialize(nullptr)) {}
    ~com_apartment() { if (SUCCEEDED(m_hr)) ::CoUninitialize(); }
    com_apartment(const com_apartment&) = delete;
    com_apartment& operator=(const com_apartment&) = delete;

private:
    HRESULT m_hr;
};
