// SHA-256 digests and ECDSA P-256 signatures through OpenSSL's library, in the forms the installer checks.
#pragma once

#include <cstddef>
#include <string>

#include "engine/list/sha256_digest.h"
#include "publisher/owners.h"

// A SHA-256 digest of bytes that arrive in pieces.
class Sha256Stream {
public:
    Sha256Stream();
    void Update(const void* data, size_t size);
    Sha256Digest Final();

private:
    unique_evp_md_ctx m_ctx;
};

// The digest of bytes in memory.
Sha256Digest Sha256Of(const std::string& bytes);

// Keys in PEM: a private key as openssl genpkey / ecparam writes it, a public key as SubjectPublicKeyInfo
// (openssl ec -pubout / pkey -pubout). Either must be an ECDSA key on P-256, the only curve the installer
// verifies; otherwise null and why in error.
unique_evp_pkey LoadPrivateKey(const std::string& path, std::string& error);
unique_evp_pkey LoadPublicKey(const std::string& path, std::string& error);

// The DER ECDSA signature of data's SHA-256, as `openssl dgst -sha256 -sign` writes it.
bool SignSha256(EVP_PKEY* key, const std::string& data, std::string& signature);
// True only when signature is a valid DER signature of data by key.
bool VerifySha256(EVP_PKEY* key, const std::string& data, const std::string& signature);
