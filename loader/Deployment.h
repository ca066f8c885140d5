// The values a publisher sets when building the program for a game: who may sign a loader
// library, which unsigned builds are accepted, where players get help, and the two service
// endpoints. They are compiled in from the build's options (loader/CMakeLists.txt); nothing
// else in the program names a publisher or a service host.
#pragma once

#include "Common/Array.h"
#include "Common/WString.h"

namespace Volux {

struct Deployment {
    // Signer display names accepted on a signed loader library (exact match).
    Array<WString> publisherNames;
    // Checksum texts of unsigned loader builds that are accepted (any case).
    Array<WString> loaderDigests;
    // Appended to the loader messages players see ("..., contact " + this).
    WString supportAddress;
    // Address of the revocation list; empty = no list is fetched.
    WString revocationAddress;
    // Base address the start-up statistics go to ("s?g=..." is appended); empty = none sent.
    WString statisticsEndpoint;
};

// The values this program was built with.
const Deployment& BuiltDeployment();

} // namespace Volux
