// The server certificate, checked again through CryptoAPI: the chain must end at a root the
// system trusts and the certificate must name the host (the SSL chain policy).
//
// WINE: Schannel accepts any server certificate there (its automatic validation is not
// implemented), so without this check an untrusted server would be talked to; on Windows it
// repeats what Schannel already did during the handshake, at the cost of one cached chain
// build per request.
#include <windows.h>
#define SECURITY_WIN32
#include <schannel.h>
#include <security.h>
#include <wincrypt.h>

#include <curl/curl.h>

#include "Storage/WebCertificate.h"

namespace Volux {

bool VerifyServerCertificate(const void* tlsSession, const char16_t* host, const char16_t** why) {
    const curl_tlssessioninfo* session = static_cast<const curl_tlssessioninfo*>(tlsSession);
    if (session == nullptr || session->backend != CURLSSLBACKEND_SCHANNEL || session->internals == nullptr) {
        *why = u"no TLS session to check";
        return false;
    }
    PCCERT_CONTEXT certificate = nullptr;
    CtxtHandle* context = static_cast<CtxtHandle*>(session->internals);
    if (QueryContextAttributesW(context, SECPKG_ATTR_REMOTE_CERT_CONTEXT, &certificate) != SEC_E_OK ||
        certificate == nullptr) {
        *why = u"the server sent no certificate";
        return false;
    }
    LPSTR usages[] = {const_cast<LPSTR>(szOID_PKIX_KP_SERVER_AUTH)};
    CERT_CHAIN_PARA chainPara = {};
    chainPara.cbSize = sizeof(chainPara);
    chainPara.RequestedUsage.dwType = USAGE_MATCH_TYPE_OR;
    chainPara.RequestedUsage.Usage.cUsageIdentifier = 1;
    chainPara.RequestedUsage.Usage.rgpszUsageIdentifier = usages;
    PCCERT_CHAIN_CONTEXT chain = nullptr;
    // Cached retrieval only: the check must not go to the network for missing intermediates.
    bool built = CertGetCertificateChain(nullptr, certificate, nullptr, certificate->hCertStore, &chainPara,
                                         CERT_CHAIN_CACHE_ONLY_URL_RETRIEVAL, nullptr, &chain) != FALSE;
    bool trusted = false;
    if (built) {
        SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl = {};
        ssl.cbSize = sizeof(ssl);
        ssl.dwAuthType = AUTHTYPE_SERVER;
        ssl.pwszServerName = reinterpret_cast<WCHAR*>(const_cast<char16_t*>(host));
        CERT_CHAIN_POLICY_PARA policy = {};
        policy.cbSize = sizeof(policy);
        policy.pvExtraPolicyPara = &ssl;
        CERT_CHAIN_POLICY_STATUS status = {};
        status.cbSize = sizeof(status);
        trusted = CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain, &policy, &status) != FALSE &&
                  status.dwError == 0;
        CertFreeCertificateChain(chain);
    }
    CertFreeCertificateContext(certificate);
    *why = trusted ? u"" : built ? u"certificate not trusted for this host" : u"no certificate chain";
    return trusted;
}

} // namespace Volux
