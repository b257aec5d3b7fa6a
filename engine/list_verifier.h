// The signed file list: checks list.sha256 with the built-in key and each download against its digest.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

#include "engine/list/ecdsa_formats.h"
#include "engine/list/list_plan.h"
#include "engine/list/signed_list.h"
#include "platform/handles.h"

// Owns the public key built into the installer, the CNG providers and, once verified, the digests.
// In a build without a key it is inert: HasKey() is false and nothing is ever checked.
class CListVerifier {
public:
    CListVerifier();
    CListVerifier(const CListVerifier&) = delete;
    CListVerifier& operator=(const CListVerifier&) = delete;

    bool HasKey() const noexcept { return m_bHasKey; }

    // list.txt's bytes as they arrive, for the SHA-256 the header names (nothing is hashed without a key).
    void BeginList();
    void FeedList(const void* data, DWORD size);

    // Ok when signature (DER, as openssl writes it) is the built-in key's ECDSA signature of list's exact
    // bytes and SignedList accepts list's header for the list.txt fed above, the system clock and this build's
    // oldest version. Asked before any line of list.txt is classified.
    ListVerdict VerifyBytes(const std::string& list, const std::string& signature);
    // Then, on the planned lines: Ok when SignedList accepts list's digest lines for plan. Keeps the digests
    // for DigestOf; on anything else there are none.
    ListVerdict VerifyLines(const std::string& list, const ListPlan& plan);

    // The digest the file of line index must have; null before a successful Verify or for a line that has none.
    const Sha256Digest* DigestOf(size_t index) const { return m_signed.DigestOf(index); }
    // The size in bytes it must have; -1 likewise.
    long long SizeOf(size_t index) const { return m_signed.SizeOf(index); }

    // A new SHA-256 computation; empty when CNG cannot give one.
    unique_bcrypt_hash NewHash();

private:
    bool OpenProviders();
    bool SignatureHolds(const std::string& list, const std::string& signature);

    bool m_bHasKey = false;
    P256PublicKey m_key{};
    unique_bcrypt_algorithm m_sha256;
    unique_bcrypt_algorithm m_ecdsa;
    unique_bcrypt_hash m_listHash;
    bool m_bListHashBroken = false;
    SignedList m_signed;
};

// Hashes one download while it streams and says at its end whether it is the file the list names.
// Without a key every download passes and nothing is hashed; with one, a line without a digest or a
// hash that CNG cannot compute fails the file.
class CDownloadDigest {
public:
    CDownloadDigest(CListVerifier& verifier, size_t entryIndex);
    CDownloadDigest(const CDownloadDigest&) = delete;
    CDownloadDigest& operator=(const CDownloadDigest&) = delete;

    void Feed(const void* data, DWORD size);
    bool Matches();

private:
    bool m_bChecked = false;
    bool m_bBroken = false;
    const Sha256Digest* m_expected = nullptr;
    unique_bcrypt_hash m_hash;
};
