// The public key and signature formats: PEM and DER as openssl writes them, r||s as CNG takes it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/list/ecdsa_formats.h"

namespace {

using Bytes = std::vector<unsigned char>;

Bytes FromHex(const std::string& hex)
{
    Bytes bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes.push_back(static_cast<unsigned char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return bytes;
}

template <size_t N>
std::string Hex(const std::array<unsigned char, N>& bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (unsigned char b : bytes) {
        text.push_back(digits[b >> 4]);
        text.push_back(digits[b & 15]);
    }
    return text;
}

// Made with `openssl ecparam -name prime256v1 -genkey | openssl ec -pubout`.
const char kP256Pem[] =
    "-----BEGIN PUBLIC KEY-----\n"
    "MFkwEwYHKoZIzj0CAQYIKoZIzj0DAQcDQgAEpTU2DumUq5qB1gOpJrIMm3jqjP5A\n"
    "Rhjg4axdwzGQuHAK0FAG5vYAtaDPxyVr5Hbq3Siir602zgbh5LmeE1eEXA==\n"
    "-----END PUBLIC KEY-----\n";
const char kP256Xy[] =
    "a535360ee994ab9a81d603a926b20c9b78ea8cfe404618e0e1ac5dc33190b870"
    "0ad05006e6f600b5a0cfc7256be476eadd28a2afad36ce06e1e4b99e1357845c";

bool KeyOf(const std::string& pem, P256PublicKey& key)
{
    Bytes der;
    return PemToDer(pem, "PUBLIC KEY", der) && P256KeyFromSpki(der, key);
}

Bytes DerInteger(const Bytes& value)
{
    Bytes out = {0x02, static_cast<unsigned char>(value.size())};
    out.insert(out.end(), value.begin(), value.end());
    return out;
}

Bytes DerSignature(const Bytes& r, const Bytes& s)
{
    Bytes body = DerInteger(r);
    const Bytes second = DerInteger(s);
    body.insert(body.end(), second.begin(), second.end());
    Bytes out = {0x30, static_cast<unsigned char>(body.size())};
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

// A value of 33 significant bytes: 2^256 or more.
Bytes TooLarge()
{
    Bytes value(34, 0x01);
    value[0] = 0x00;
    value[1] = 0x80;
    return value;
}

bool ToRs(const Bytes& der, P256Signature& rs)
{
    return EcdsaDerToP256(der.data(), der.size(), rs);
}

}  // namespace

TEST(PublicKey, OpensslP256KeyGivesItsPoint)
{
    P256PublicKey key{};
    ASSERT_TRUE(KeyOf(kP256Pem, key));
    EXPECT_EQ(Hex(key), kP256Xy);
    // CR LF line ends and text around the block change nothing.
    std::string crlf = std::string("comment\r\n") + kP256Pem;
    for (size_t at = crlf.find('\n'); at != std::string::npos; at = crlf.find('\n', at + 2))
        crlf.insert(at, "\r");
    ASSERT_TRUE(KeyOf(crlf, key));
    EXPECT_EQ(Hex(key), kP256Xy);
}

TEST(PublicKey, OtherKeysAndBrokenTextAreRefused)
{
    P256PublicKey key{};
    // The same point compressed, a P-384 key, an Ed25519 key.
    EXPECT_FALSE(KeyOf("-----BEGIN PUBLIC KEY-----\nMDkwEwYHKoZIzj0CAQYIKoZIzj0DAQcDIgACpTU2DumUq5qB1gOpJrIMm3jqjP5A\n"
                       "Rhjg4axdwzGQuHA=\n-----END PUBLIC KEY-----\n", key));
    EXPECT_FALSE(KeyOf("-----BEGIN PUBLIC KEY-----\nMHYwEAYHKoZIzj0CAQYFK4EEACIDYgAEnonNsxM5HRpXBWhBk9+Yr41BkFlqfI7X\n"
                       "iPNTas5CRRf67unn3+EWoVAanihjgv39Y2V/NEWm71+4i+Il5UA8fKvmJmQxvKRu\n"
                       "JNW/RbGDXfE6wg9ln4wCuHRSuVLA4OS2\n-----END PUBLIC KEY-----\n", key));
    EXPECT_FALSE(KeyOf("-----BEGIN PUBLIC KEY-----\nMCowBQYDK2VwAyEAwCdKIwuGgOfyOm+ERN+XboH1rEPG/i3QU8GMCuOHsvs=\n"
                       "-----END PUBLIC KEY-----\n", key));

    std::string pem = kP256Pem;
    EXPECT_FALSE(KeyOf(std::string(pem).replace(pem.find("BEGIN PUBLIC"), 12, "BEGIN PRIVATE"), key));
    EXPECT_FALSE(KeyOf(pem.substr(0, pem.find("-----END")), key));                    // no end line
    EXPECT_FALSE(KeyOf(std::string(pem).replace(pem.find("MFkw"), 1, "!"), key));    // foreign byte
    EXPECT_FALSE(KeyOf(std::string(pem).replace(pem.find("=="), 2, "=A"), key));     // data after padding
    EXPECT_FALSE(KeyOf(std::string(pem).erase(pem.find("MFkw"), 4), key));           // cut short
    EXPECT_FALSE(KeyOf(std::string(pem).erase(pem.find("=="), 2), key));             // padding missing
}

TEST(PublicKey, StructureIsCheckedToTheLastByte)
{
    Bytes der;
    ASSERT_TRUE(PemToDer(kP256Pem, "PUBLIC KEY", der));
    P256PublicKey key{};
    ASSERT_TRUE(P256KeyFromSpki(der, key));

    Bytes trailing = der;
    trailing.push_back(0);
    EXPECT_FALSE(P256KeyFromSpki(trailing, key));
    for (size_t cut = 0; cut < der.size(); ++cut)
        EXPECT_FALSE(P256KeyFromSpki(Bytes(der.begin(), der.begin() + cut), key)) << cut;
    Bytes unusedBits = der;
    unusedBits[der.size() - 66] = 1;   // the BIT STRING's unused-bits byte
    EXPECT_FALSE(P256KeyFromSpki(unusedBits, key));
    Bytes otherCurve = der;
    otherCurve[24] ^= 1;   // last byte of the curve's OID
    EXPECT_FALSE(P256KeyFromSpki(otherCurve, key));
    Bytes longLength = der;   // 0x59 written as 0x81 0x59: not the minimal length
    longLength.insert(longLength.begin() + 1, 0x81);
    EXPECT_FALSE(P256KeyFromSpki(longLength, key));
}

TEST(Signature, OpensslSignatureBecomesRAndS)
{
    const Bytes der = FromHex("304402205f59c90fcae4fa0e3634440a88deecd3737980575242b3f5d304e61507d385a5"
                              "0220047e66175e785c2979cecb987935e6d2f7b254a0d5900003f2e6b1019ce3ed55");
    P256Signature rs{};
    ASSERT_TRUE(ToRs(der, rs));
    EXPECT_EQ(Hex(rs), "5f59c90fcae4fa0e3634440a88deecd3737980575242b3f5d304e61507d385a5"
                       "047e66175e785c2979cecb987935e6d2f7b254a0d5900003f2e6b1019ce3ed55");
}

TEST(Signature, ShortValuesAreLeftPaddedAndHighBitValuesLoseTheirSignByte)
{
    Bytes high(32, 0x11);
    high[0] = 0x80;
    Bytes withSign = high;
    withSign.insert(withSign.begin(), 0x00);
    P256Signature rs{};
    ASSERT_TRUE(ToRs(DerSignature(withSign, {0x01}), rs));
    EXPECT_EQ(Hex(rs), "8011111111111111111111111111111111111111111111111111111111111111"
                       "0000000000000000000000000000000000000000000000000000000000000001");
    ASSERT_TRUE(ToRs(DerSignature(Bytes(31, 0x22), Bytes(30, 0x7F)), rs));
    EXPECT_EQ(Hex(rs).substr(0, 4), "0022");
    EXPECT_EQ(Hex(rs).substr(64, 6), "00007f");
}

TEST(Signature, MalformedOrOutOfRangeValuesAreRefused)
{
    P256Signature rs{};
    const Bytes one = {0x01};
    EXPECT_FALSE(ToRs(DerSignature(TooLarge(), one), rs));
    EXPECT_FALSE(ToRs(DerSignature({0x00}, one), rs));              // zero
    EXPECT_FALSE(ToRs(DerSignature({0x80, 0x01}, one), rs));        // negative
    EXPECT_FALSE(ToRs(DerSignature({0x00, 0x01}, one), rs));        // not minimal
    EXPECT_FALSE(ToRs(DerSignature({}, one), rs));                  // empty integer
    Bytes extra = DerSignature(one, one);
    extra.push_back(0);
    EXPECT_FALSE(ToRs(extra, rs));                                  // bytes after the sequence
    Bytes third = DerSignature(one, one);
    third[1] += 3;
    third.insert(third.end(), {0x02, 0x01, 0x01});
    EXPECT_FALSE(ToRs(third, rs));                                  // a third value
    const Bytes good = DerSignature(one, one);
    for (size_t cut = 0; cut < good.size(); ++cut)
        EXPECT_FALSE(ToRs(Bytes(good.begin(), good.begin() + cut), rs)) << cut;
    EXPECT_FALSE(EcdsaDerToP256(nullptr, 0, rs));
}
