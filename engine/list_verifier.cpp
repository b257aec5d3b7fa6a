// The signed file list: checks list.sha256 with the built-in key and each download against its digest.
#include "engine/list_verifier.h"

#include <cstring>

#include "qelmora_manifest_key.h"

namespace {

bool Succeeded(NTSTATUS status)
{
    return status >= 0;
}

// SHA-256 of a whole buffer; false when CNG fails.
bool HashBytes(unique_bcrypt_hash hash, const std::string& bytes, Sha256Digest& digest)
{
    if (!hash)
        return false;
    // BCryptHashData takes at most 4 GiB a call; list.sha256 is bounded far below that by its reader.
    auto* data = reinterpret_cast<PUCHAR>(const_cast<char*>(bytes.data()));
    return Succeeded(::BCryptHashData(hash.get(), data, static_cast<ULONG>(bytes.size()), 0)) &&
           Succeeded(::BCryptFinishHash(hash.get(), digest.data(), static_cast<ULONG>(digest.size()), 0));
}

// The system clock as seconds since 1970 (UTC).
long long UtcNow()
{
    FILETIME now = {};
    ::GetSystemTimeAsFileTime(&now);
    const unsigned long long ticks = (static_cast<unsigned long long>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    constexpr unsigned long long kTicksTo1970 = 116444736000000000ULL;   // 100 ns ticks from 1601 to 1970
    return static_cast<long long>((ticks - kTicksTo1970) / 10000000ULL);
}

P256PublicKey BuiltInKey()
{
    P256PublicKey key{};
    std::memcpy(key.data(), kBuiltInManifestKey, key.size());
    return key;
}

}  // namespace

CListVerifier::CListVerifier() : m_bHasKey(kHasBuiltInManifestKey), m_key(BuiltInKey()) {}

bool CListVerifier::OpenProviders()
{
    if (!m_sha256) {
        BCRYPT_ALG_HANDLE handle = nullptr;
        if (Succeeded(::BCryptOpenAlgorithmProvider(&handle, BCRYPT_SHA256_ALGORITHM, nullptr, 0)))
            m_sha256.reset(handle);
    }
    if (!m_ecdsa) {
        BCRYPT_ALG_HANDLE handle = nullptr;
        if (Succeeded(::BCryptOpenAlgorithmProvider(&handle, BCRYPT_ECDSA_P256_ALGORITHM, nullptr, 0)))
            m_ecdsa.reset(handle);
    }
    return m_sha256 && m_ecdsa;
}

unique_bcrypt_hash CListVerifier::NewHash()
{
    if (!OpenProviders())
        return unique_bcrypt_hash();
    BCRYPT_HASH_HANDLE handle = nullptr;
    // Without a buffer of our own CNG keeps the hash object itself (Windows 7 and later).
    if (!Succeeded(::BCryptCreateHash(m_sha256.get(), &handle, nullptr, 0, nullptr, 0, 0)))
        return unique_bcrypt_hash();
    return unique_bcrypt_hash(handle);
}

bool CListVerifier::SignatureHolds(const std::string& list, const std::string& signature)
{
    P256Signature rs{};
    if (!EcdsaDerToP256(reinterpret_cast<const unsigned char*>(signature.data()), signature.size(), rs))
        return false;
    Sha256Digest digest{};
    if (!HashBytes(NewHash(), list, digest))
        return false;

    // BCRYPT_ECCPUBLIC_BLOB: the header, then X and Y.
    unsigned char blob[sizeof(BCRYPT_ECCKEY_BLOB) + sizeof m_key] = {};
    BCRYPT_ECCKEY_BLOB header = {BCRYPT_ECDSA_PUBLIC_P256_MAGIC, 32};
    std::memcpy(blob, &header, sizeof header);
    std::memcpy(blob + sizeof header, m_key.data(), m_key.size());
    BCRYPT_KEY_HANDLE keyHandle = nullptr;
    if (!Succeeded(::BCryptImportKeyPair(m_ecdsa.get(), nullptr, BCRYPT_ECCPUBLIC_BLOB, &keyHandle, blob,
                                         sizeof blob, 0)))
        return false;
    const unique_bcrypt_key key(keyHandle);
    return Succeeded(::BCryptVerifySignature(key.get(), nullptr, digest.data(), static_cast<ULONG>(digest.size()),
                                             rs.data(), static_cast<ULONG>(rs.size()), 0));
}

void CListVerifier::BeginList()
{
    m_listHash.reset();
    m_bListHashBroken = false;
    if (!m_bHasKey)
        return;
    m_listHash = NewHash();
    m_bListHashBroken = !m_listHash;
}

void CListVerifier::FeedList(const void* data, DWORD size)
{
    if (!m_listHash || m_bListHashBroken)
        return;
    auto* bytes = static_cast<PUCHAR>(const_cast<void*>(data));
    m_bListHashBroken = !Succeeded(::BCryptHashData(m_listHash.get(), bytes, size, 0));
}

ListVerdict CListVerifier::VerifyBytes(const std::string& list, const std::string& signature)
{
    m_signed = SignedList();
    if (!m_bHasKey || !SignatureHolds(list, signature))
        return ListVerdict::BadSignature;
    Sha256Digest listDigest{};
    const bool hashed = m_listHash && !m_bListHashBroken &&
                        Succeeded(::BCryptFinishHash(m_listHash.get(), listDigest.data(),
                                                     static_cast<ULONG>(listDigest.size()), 0));
    m_listHash.reset();
    if (!hashed)
        return ListVerdict::ListChanged;
    // Read only what the publisher signed.
    return m_signed.AcceptHeader(list, listDigest, UtcNow(), kMinListVersion);
}

ListVerdict CListVerifier::VerifyLines(const std::string& list, const ListPlan& plan)
{
    return m_signed.AcceptLines(list, plan);
}

CDownloadDigest::CDownloadDigest(CListVerifier& verifier, size_t entryIndex)
{
    if (!verifier.HasKey())
        return;
    m_bChecked = true;
    m_expected = verifier.DigestOf(entryIndex);
    if (m_expected)
        m_hash = verifier.NewHash();
    m_bBroken = !m_expected || !m_hash;
}

void CDownloadDigest::Feed(const void* data, DWORD size)
{
    if (!m_bChecked || m_bBroken)
        return;
    auto* bytes = static_cast<PUCHAR>(const_cast<void*>(data));
    m_bBroken = !Succeeded(::BCryptHashData(m_hash.get(), bytes, size, 0));
}

bool CDownloadDigest::Matches()
{
    if (!m_bChecked)
        return true;
    if (m_bBroken)
        return false;
    Sha256Digest digest{};
    m_bBroken = true;   // a hash object finishes once
    return Succeeded(::BCryptFinishHash(m_hash.get(), digest.data(), static_cast<ULONG>(digest.size()), 0)) &&
           digest == *m_expected;
}
