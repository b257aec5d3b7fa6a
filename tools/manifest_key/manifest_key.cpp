// Build step: reads the publisher's P-256 public key (PEM) and prints its X and Y for the installer's build.
//
//   manifest_key PUBLIC_KEY.pem     prints the 64 bytes as "0x..," C initialisers, 16 a line
//
// Exits with 1 and a message on stderr when the key is not an ECDSA P-256 SubjectPublicKeyInfo.
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "engine/list/ecdsa_formats.h"

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: manifest_key PUBLIC_KEY.pem\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "manifest_key: cannot read %s\n", argv[1]);
        return 1;
    }
    std::ostringstream pem;
    pem << in.rdbuf();
    std::vector<unsigned char> der;
    P256PublicKey key{};
    if (!PemToDer(pem.str(), "PUBLIC KEY", der) || !P256KeyFromSpki(der, key)) {
        std::fprintf(stderr, "manifest_key: %s is not an ECDSA P-256 public key in PEM "
                             "(make one with: openssl ec -in private.pem -pubout -out public.pem)\n",
                     argv[1]);
        return 1;
    }
    for (size_t i = 0; i < key.size(); ++i)
        std::printf("0x%02x,%s", key[i], i % 16 == 15 ? "\n" : " ");
    return 0;
}
