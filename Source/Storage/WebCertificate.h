// The server certificate check that the transfer layer makes itself, once a TLS connection is
// up and before a request is sent on it.
#pragma once

#include "Common/Base.h"

namespace Volux {

// tlsSession is libcurl's curl_tlssessioninfo of the connection; host is the name the address
// gave (UTF-16). False, with the reason in why (a short text), refuses the connection.
bool VerifyServerCertificate(const void* tlsSession, const char16_t* host, const char16_t** why);

} // namespace Volux
