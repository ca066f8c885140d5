// Whether a loader library may be loaded: a signed file must carry a valid signature from one
// of the deployment's publishers; an unsigned one must be a known build (its checksum text on
// the deployment's list).
#pragma once

#include "Common/WString.h"
#include "loader/Deployment.h"

namespace Volux {

enum SignatureState {
    _SIGNATURE_NONE,     // the file carries no signature
    _SIGNATURE_VALID,    // signed, and the signature holds
    _SIGNATURE_INVALID,  // signed, but the signature does not hold (tampered, malformed)
};

SignatureState FileSignatureState(const char16_t* path);
// The signer's display name of an embedded signature; empty (with one "[FG]" line) when it
// cannot be read.
WString SignerName(const char16_t* path);

bool IsTrustedSigner(const WString& name, const Deployment& deployment);
bool IsKnownLoaderDigest(const WString& checksumText, const Deployment& deployment);

// True when the file may be loaded; otherwise message is what the loading screen shows.
bool CheckLoaderFile(const char16_t* path, const Deployment& deployment, WString& message);

} // namespace Volux
