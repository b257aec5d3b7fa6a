// The P-256 public key and ECDSA signature as openssl writes them (PEM, DER) and as CNG takes them.
#include "engine/list/ecdsa_formats.h"

#include <algorithm>
#include <cstring>

namespace {

// A read cursor over DER bytes; every read checks what is left.
struct DerCursor {
    const unsigned char* p;
    const unsigned char* end;

    // One element of the given tag: its contents in [body, body + length). Definite, minimal lengths only.
    bool Element(unsigned char tag, const unsigned char*& body, size_t& length)
    {
        if (end - p < 2 || p[0] != tag)
            return false;
        size_t size = p[1];
        const unsigned char* q = p + 2;
        if (size & 0x80) {
            const size_t count = size & 0x7F;
            if (count == 0 || count > 2 || static_cast<size_t>(end - q) < count || q[0] == 0)
                return false;
            size = 0;
            for (size_t i = 0; i < count; ++i)
                size = (size << 8) | q[i];
            q += count;
            if (size < 0x80)
                return false;
        }
        if (static_cast<size_t>(end - q) < size)
            return false;
        body = q;
        length = size;
        p = q + size;
        return true;
    }

    bool AtEnd() const { return p == end; }
};

// 1.2.840.10045.2.1 and 1.2.840.10045.3.1.7
const unsigned char kEcPublicKeyOid[] = {0x2A, 0x86, 0x48, 0xCE, 0x3D, 0x02, 0x01};
const unsigned char kPrime256v1Oid[] = {0x2A, 0x86, 0x48, 0xCE, 0x3D, 0x03, 0x01, 0x07};

bool IsOid(DerCursor& c, const unsigned char* oid, size_t oidSize)
{
    const unsigned char* body = nullptr;
    size_t length = 0;
    return c.Element(0x06, body, length) && length == oidSize && std::memcmp(body, oid, oidSize) == 0;
}

// A positive DER INTEGER below 2^256 into 32 big-endian bytes.
bool ReadScalar(DerCursor& c, unsigned char* out)
{
    const unsigned char* body = nullptr;
    size_t length = 0;
    if (!c.Element(0x02, body, length) || length == 0)
        return false;
    if (body[0] & 0x80)
        return false;   // negative
    if (length > 1 && body[0] == 0 && !(body[1] & 0x80))
        return false;   // not minimal
    while (length > 0 && body[0] == 0) {
        ++body;
        --length;
    }
    if (length == 0 || length > 32)
        return false;   // zero, or too large
    std::memset(out, 0, 32 - length);
    std::memcpy(out + 32 - length, body, length);
    return true;
}

int Base64Value(char c)
{
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}

}  // namespace

bool PemToDer(const std::string& pem, const char* label, std::vector<unsigned char>& der)
{
    const std::string begin = std::string("-----BEGIN ") + label + "-----";
    const std::string end = std::string("-----END ") + label + "-----";
    const size_t start = pem.find(begin);
    if (start == std::string::npos)
        return false;
    const size_t from = start + begin.size();
    const size_t stop = pem.find(end, from);
    if (stop == std::string::npos)
        return false;

    der.clear();
    unsigned bits = 0;
    int held = 0;
    int padding = 0;
    for (size_t i = from; i < stop; ++i) {
        const char c = pem[i];
        if (c == '\r' || c == '\n' || c == ' ' || c == '\t')
            continue;
        if (c == '=') {
            ++padding;
            continue;
        }
        const int value = Base64Value(c);
        if (value < 0 || padding > 0)
            return false;   // a foreign byte, or data after the padding
        bits = (bits << 6) | static_cast<unsigned>(value);
        held += 6;
        if (held >= 8) {
            held -= 8;
            der.push_back(static_cast<unsigned char>(bits >> held));
            bits &= (1u << held) - 1;
        }
    }
    // Whole groups of four only: what is left is 0, 2 or 4 bits of zeros, matched by the padding.
    const bool wholeGroups = (held == 0 && padding == 0) || (held == 4 && padding == 2) || (held == 2 && padding == 1);
    return wholeGroups && bits == 0 && !der.empty();
}

bool P256KeyFromSpki(const std::vector<unsigned char>& der, P256PublicKey& key)
{
    DerCursor outer{der.data(), der.data() + der.size()};
    const unsigned char* body = nullptr;
    size_t length = 0;
    if (!outer.Element(0x30, body, length) || !outer.AtEnd())
        return false;
    DerCursor spki{body, body + length};
    if (!spki.Element(0x30, body, length))
        return false;
    DerCursor algorithm{body, body + length};
    if (!IsOid(algorithm, kEcPublicKeyOid, sizeof kEcPublicKeyOid) ||
        !IsOid(algorithm, kPrime256v1Oid, sizeof kPrime256v1Oid) || !algorithm.AtEnd())
        return false;
    // BIT STRING: no unused bits, then the uncompressed point 04 || X || Y.
    if (!spki.Element(0x03, body, length) || !spki.AtEnd())
        return false;
    if (length != 2 + key.size() || body[0] != 0 || body[1] != 0x04)
        return false;
    std::copy(body + 2, body + length, key.begin());
    return true;
}

bool EcdsaDerToP256(const unsigned char* der, size_t size, P256Signature& signature)
{
    DerCursor outer{der, der + size};
    const unsigned char* body = nullptr;
    size_t length = 0;
    if (!outer.Element(0x30, body, length) || !outer.AtEnd())
        return false;
    DerCursor values{body, body + length};
    return ReadScalar(values, signature.data()) && ReadScalar(values, signature.data() + 32) && values.AtEnd();
}
