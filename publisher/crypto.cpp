// SHA-256 digests and ECDSA P-256 signatures through OpenSSL's library, in the forms the installer checks.
#include "publisher/crypto.h"

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <vector>

#include <openssl/pem.h>

namespace {

bool IsP256(EVP_PKEY* key, std::string& error)
{
    char group[64] = {};
    size_t length = 0;
    if (!EVP_PKEY_is_a(key, "EC") || !EVP_PKEY_get_group_name(key, group, sizeof group, &length) ||
        std::strcmp(group, "prime256v1") != 0) {
        error = "not an ECDSA key on the P-256 curve (prime256v1)";
        return false;
    }
    return true;
}

unique_evp_pkey LoadKey(const std::string& path, bool isPrivate, std::string& error)
{
    unique_file file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        error = std::strerror(errno);
        return nullptr;
    }
    unique_evp_pkey key(isPrivate ? PEM_read_PrivateKey(file.get(), nullptr, nullptr, nullptr)
                                  : PEM_read_PUBKEY(file.get(), nullptr, nullptr, nullptr));
    if (!key) {
        error = isPrivate ? "no PEM private key in it" : "no PEM public key (SubjectPublicKeyInfo) in it";
        return nullptr;
    }
    if (!IsP256(key.get(), error))
        return nullptr;
    return key;
}

}  // namespace

Sha256Stream::Sha256Stream() : m_ctx(EVP_MD_CTX_new())
{
    if (!m_ctx || !EVP_DigestInit_ex(m_ctx.get(), EVP_sha256(), nullptr))
        throw std::runtime_error("SHA-256 is not available");
}

void Sha256Stream::Update(const void* data, size_t size)
{
    EVP_DigestUpdate(m_ctx.get(), data, size);
}

Sha256Digest Sha256Stream::Final()
{
    Sha256Digest digest{};
    unsigned int size = 0;
    EVP_DigestFinal_ex(m_ctx.get(), digest.data(), &size);
    EVP_DigestInit_ex(m_ctx.get(), EVP_sha256(), nullptr);
    return digest;
}

Sha256Digest Sha256Of(const std::string& bytes)
{
    Sha256Stream stream;
    stream.Update(bytes.data(), bytes.size());
    return stream.Final();
}

unique_evp_pkey LoadPrivateKey(const std::string& path, std::string& error)
{
    return LoadKey(path, true, error);
}

unique_evp_pkey LoadPublicKey(const std::string& path, std::string& error)
{
    return LoadKey(path, false, error);
}

bool SignSha256(EVP_PKEY* key, const std::string& data, std::string& signature)
{
    unique_evp_md_ctx ctx(EVP_MD_CTX_new());
    size_t size = 0;
    if (!ctx || EVP_DigestSignInit(ctx.get(), nullptr, EVP_sha256(), nullptr, key) != 1 ||
        EVP_DigestSign(ctx.get(), nullptr, &size, reinterpret_cast<const unsigned char*>(data.data()), data.size()) != 1)
        return false;
    signature.assign(size, '\0');
    if (EVP_DigestSign(ctx.get(), reinterpret_cast<unsigned char*>(&signature[0]), &size,
                       reinterpret_cast<const unsigned char*>(data.data()), data.size()) != 1)
        return false;
    signature.resize(size);
    return true;
}

bool VerifySha256(EVP_PKEY* key, const std::string& data, const std::string& signature)
{
    unique_evp_md_ctx ctx(EVP_MD_CTX_new());
    return ctx && EVP_DigestVerifyInit(ctx.get(), nullptr, EVP_sha256(), nullptr, key) == 1 &&
           EVP_DigestVerify(ctx.get(), reinterpret_cast<const unsigned char*>(signature.data()), signature.size(),
                            reinterpret_cast<const unsigned char*>(data.data()), data.size()) == 1;
}
