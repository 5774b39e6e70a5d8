// trust_test_ca.exe CERT.der: adds a test CA's certificate to the trusted
// roots of the Wine prefix it runs in, so loopback TLS servers of the tests,
// the demo and the bench are accepted there and nowhere else. It refuses to
// run outside Wine, so it can never touch a real Windows machine's store.
// Adding a certificate already present replaces it; no prompt appears.
#include <windows.h>
#include <wincrypt.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

bool RunningUnderWine()
{
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: trust_test_ca CERT.der\n");
        return 2;
    }
    if (!RunningUnderWine()) {
        std::fprintf(stderr, "trust_test_ca: only for a Wine test prefix\n");
        return 2;
    }
    std::ifstream file(argv[1], std::ios::binary);
    std::vector<BYTE> der((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (der.empty()) {
        std::fprintf(stderr, "trust_test_ca: cannot read %s\n", argv[1]);
        return 1;
    }
    HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_SYSTEM_A, 0, 0,
                                     CERT_SYSTEM_STORE_LOCAL_MACHINE, "ROOT");
    if (store == nullptr) {
        std::fprintf(stderr, "trust_test_ca: cannot open the root store (%lu)\n", GetLastError());
        return 1;
    }
    BOOL added = CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, der.data(),
                                                  static_cast<DWORD>(der.size()),
                                                  CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
    DWORD error = GetLastError();
    CertCloseStore(store, 0);
    if (!added) {
        std::fprintf(stderr, "trust_test_ca: the store refused the certificate (%lu)\n", error);
        return 1;
    }
    return 0;
}
