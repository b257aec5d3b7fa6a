// One owner for every OpenSSL, libcurl and iconv object the publisher's tools hold.
#pragma once

#include <cstdio>
#include <memory>

#include <unistd.h>

#include <curl/curl.h>
#include <iconv.h>
#include <openssl/evp.h>

// Each policy names the object's type and frees it once; the owner is a std::unique_ptr with it.
template <typename T, void (*Free)(T*)>
struct FreeTraits {
    void operator()(T* p) const noexcept
    {
        if (p)
            Free(p);
    }
};

inline void CloseFile(FILE* f) { std::fclose(f); }

using unique_evp_pkey = std::unique_ptr<EVP_PKEY, FreeTraits<EVP_PKEY, EVP_PKEY_free>>;
using unique_evp_md_ctx = std::unique_ptr<EVP_MD_CTX, FreeTraits<EVP_MD_CTX, EVP_MD_CTX_free>>;
using unique_curl = std::unique_ptr<CURL, FreeTraits<CURL, curl_easy_cleanup>>;
using unique_curl_slist = std::unique_ptr<curl_slist, FreeTraits<curl_slist, curl_slist_free_all>>;
using unique_file = std::unique_ptr<FILE, FreeTraits<FILE, CloseFile>>;

// A file descriptor, whose empty value is -1.
class unique_fd {
public:
    explicit unique_fd(int fd = -1) noexcept : m_fd(fd) {}
    unique_fd(unique_fd&& other) noexcept : m_fd(other.release()) {}
    unique_fd& operator=(unique_fd&& other) noexcept
    {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    unique_fd(const unique_fd&) = delete;
    unique_fd& operator=(const unique_fd&) = delete;
    ~unique_fd() { reset(); }
    explicit operator bool() const noexcept { return m_fd >= 0; }
    int get() const noexcept { return m_fd; }
    int release() noexcept
    {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }
    void reset(int fd = -1) noexcept
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = fd;
    }

private:
    int m_fd;
};

// iconv_t is a pointer-like value whose empty value is (iconv_t)-1, not null.
class unique_iconv {
public:
    explicit unique_iconv(iconv_t cd) noexcept : m_cd(cd) {}
    unique_iconv(const unique_iconv&) = delete;
    unique_iconv& operator=(const unique_iconv&) = delete;
    ~unique_iconv()
    {
        if (*this)
            iconv_close(m_cd);
    }
    explicit operator bool() const noexcept { return m_cd != reinterpret_cast<iconv_t>(-1); }
    iconv_t get() const noexcept { return m_cd; }

private:
    iconv_t m_cd;
};
