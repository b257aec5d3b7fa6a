// Test helper: makes a test certificate authority trusted in this Wine prefix only.
//
//   trust_root CA.der      adds the DER certificate to the machine's Root store; exit 0 when it is there
//
// The store lives in the prefix's registry, so nothing outside the test's prefix trusts the authority.
#include <windows.h>
#include <wincrypt.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

#include "platform/handles.h"

namespace {

struct CertStoreTraits {
    using pointer = HCERTSTORE;
    static pointer invalid() noexcept { return nullptr; }
    static void close(pointer h) noexcept { ::CertCloseStore(h, 0); }
};
using unique_cert_store = unique_handle<CertStoreTraits>;

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: trust_root CA.der\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    const std::vector<unsigned char> der((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (der.empty()) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 1;
    }
    const unique_cert_store store(
        ::CertOpenStore(CERT_STORE_PROV_SYSTEM_A, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, "ROOT"));
    if (!store) {
        std::fprintf(stderr, "cannot open the Root store: %lu\n", ::GetLastError());
        return 1;
    }
    const BOOL added = ::CertAddEncodedCertificateToStore(store.get(), X509_ASN_ENCODING, der.data(),
                                                          static_cast<DWORD>(der.size()),
                                                          CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
    if (!added) {
        std::fprintf(stderr, "cannot add the certificate: %lu\n", ::GetLastError());
        return 1;
    }
    std::printf("trusted\n");
    return 0;
}
