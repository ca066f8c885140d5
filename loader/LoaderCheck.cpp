#include "loader/LoaderCheck.h"

#include <windows.h>
#include <softpub.h>
#include <wincrypt.h>
#include <wintrust.h>

#include "Common/Log.h"
#include "Common/Md5.h"
#include "Platform/WideText_win32.h"
#include "Platform/File.h"

namespace Volux {

namespace {

constexpr DWORD _MAX_NAME_CHARS = 1024;

// Closes what CryptQueryObject opened.
struct QueryHandles {
    HCERTSTORE store = nullptr;
    HCRYPTMSG message = nullptr;
    ~QueryHandles() {
        if (message != nullptr)
            CryptMsgClose(message);
        if (store != nullptr)
            CertCloseStore(store, 0);
    }
};

bool HasEmbeddedSignature(const char16_t* path) {
    QueryHandles handles;
    DWORD encoding = 0, contentType = 0, formatType = 0;
    return CryptQueryObject(CERT_QUERY_OBJECT_FILE, WidePtr(path), CERT_QUERY_CONTENT_FLAG_PKCS7_SIGNED_EMBED,
                            CERT_QUERY_FORMAT_FLAG_BINARY, 0, &encoding, &contentType, &formatType, &handles.store,
                            &handles.message, nullptr) != FALSE;
}

} // namespace

SignatureState FileSignatureState(const char16_t* path) {
    WINTRUST_FILE_INFO file = {};
    file.cbStruct = sizeof(file);
    file.pcwszFilePath = WidePtr(path);
    WINTRUST_DATA data = {};
    data.cbStruct = sizeof(data);
    data.dwUIChoice = WTD_UI_NONE;
    data.fdwRevocationChecks = WTD_REVOKE_NONE;
    data.dwUnionChoice = WTD_CHOICE_FILE;
    data.pFile = &file;
    data.dwStateAction = WTD_STATEACTION_AUTO_CACHE;
    data.dwProvFlags = WTD_REVOCATION_CHECK_NONE;
    GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    const LONG result = WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
    // Some trust providers answer success for a file that carries no signature at all: such a
    // file is unsigned whatever they say, and must be a known build.
    if (result == LONG(TRUST_E_NOSIGNATURE) || !HasEmbeddedSignature(path))
        return _SIGNATURE_NONE;
    return result == 0 ? _SIGNATURE_VALID : _SIGNATURE_INVALID;
}

WString SignerName(const char16_t* path) {
    QueryHandles handles;
    DWORD encoding = 0, contentType = 0, formatType = 0;
    if (!CryptQueryObject(CERT_QUERY_OBJECT_FILE, WidePtr(path), CERT_QUERY_CONTENT_FLAG_PKCS7_SIGNED_EMBED,
                          CERT_QUERY_FORMAT_FLAG_BINARY, 0, &encoding, &contentType, &formatType, &handles.store,
                          &handles.message, nullptr)) {
        PrintLine(u"[FG] CryptQueryObject fail %x", unsigned(GetLastError()));
        return WString();
    }
    DWORD size = 0;
    if (!CryptMsgGetParam(handles.message, CMSG_SIGNER_INFO_PARAM, 0, nullptr, &size) || size == 0) {
        PrintLine(u"[FG] CryptMsgGetParam size fail %x", unsigned(GetLastError()));
        return WString();
    }
    void* block = LocalAlloc(LPTR, size);
    if (block == nullptr)
        return WString();
    WString name;
    auto* signer = static_cast<CMSG_SIGNER_INFO*>(block);
    if (!CryptMsgGetParam(handles.message, CMSG_SIGNER_INFO_PARAM, 0, signer, &size)) {
        PrintLine(u"[FG] CryptMsgGetParam fail %x", unsigned(GetLastError()));
    } else {
        CERT_INFO wanted = {};
        wanted.Issuer = signer->Issuer;
        wanted.SerialNumber = signer->SerialNumber;
        PCCERT_CONTEXT certificate = CertFindCertificateInStore(
            handles.store, X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, 0, CERT_FIND_SUBJECT_CERT, &wanted, nullptr);
        if (certificate == nullptr) {
            PrintLine(u"[FG] CertFindCertificateInStore fail %x", unsigned(GetLastError()));
        } else {
            wchar_t text[_MAX_NAME_CHARS] = {};
            if (CertGetNameStringW(certificate, CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, text, _MAX_NAME_CHARS) > 1)
                name = WString(EnginePtr(text));
            CertFreeCertificateContext(certificate);
        }
    }
    LocalFree(block);
    return name;
}

bool IsTrustedSigner(const WString& name, const Deployment& deployment) {
    if (name.IsEmpty())
        return false;
    for (_dword i = 0; i < deployment.publisherNames.Count(); i++) {
        if (name == deployment.publisherNames[i])
            return true;
    }
    return false;
}

bool IsKnownLoaderDigest(const WString& checksumText, const Deployment& deployment) {
    if (checksumText.IsEmpty())
        return false;
    for (_dword i = 0; i < deployment.loaderDigests.Count(); i++) {
        if (checksumText.Compare(deployment.loaderDigests[i], false) == 0)
            return true;
    }
    return false;
}

bool CheckLoaderFile(const char16_t* path, const Deployment& deployment, WString& message) {
    const SignatureState state = FileSignatureState(path);
    if (state != _SIGNATURE_NONE) {
        // A signature that does not hold proves nothing, whoever it names.
        if (state == _SIGNATURE_VALID && IsTrustedSigner(SignerName(path), deployment))
            return true;
        PrintLine(u"[MC] Loader %ls: signature %ls", path, state == _SIGNATURE_VALID ? u"of an unknown signer" : u"invalid");
        message = u"Invalid signature of loader, contact ";
        message += deployment.supportAddress.Text();
        return false;
    }
    const Md5Digest digest = FileSystem::FileDigest(path);
    if (!digest.IsZero() && IsKnownLoaderDigest(ChecksumText(digest), deployment))
        return true;
    PrintLine(u"[MC] Loader %ls: unsigned and not a known build", path);
    message = u"Invalid loader, contact ";
    message += deployment.supportAddress.Text();
    return false;
}

} // namespace Volux
