// The P-256 public key and ECDSA signature as openssl writes them (PEM, DER) and as CNG takes them.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <vector>

// X then Y, 32 bytes each, big-endian: the body of a BCRYPT_ECCPUBLIC_BLOB.
using P256PublicKey = std::array<unsigned char, 64>;
// r then s, 32 bytes each, big-endian and left-padded with zeros: what BCryptVerifySignature takes.
using P256Signature = std::array<unsigned char, 64>;

// The DER bytes of the first "-----BEGIN <label>-----" block of a PEM text; false when there is none
// or its base64 is broken.
bool PemToDer(const std::string& pem, const char* label, std::vector<unsigned char>& der);

// A SubjectPublicKeyInfo (what `openssl ec -pubout` writes, label "PUBLIC KEY") of an id-ecPublicKey on
// prime256v1 with an uncompressed point; false for any other key or any malformed structure.
bool P256KeyFromSpki(const std::vector<unsigned char>& der, P256PublicKey& key);

// An ECDSA-Sig-Value, SEQUENCE { INTEGER r, INTEGER s } in strict DER (what `openssl dgst -sign` writes);
// false when it is malformed, has bytes after it, or r or s is not a positive value below 2^256.
bool EcdsaDerToP256(const unsigned char* der, size_t size, P256Signature& signature);
