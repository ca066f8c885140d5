// The user's proxy setting, as the transfer layer applies it to each address.
//
// A setting is the system's pair of texts: the proxy list, either one "host:port" for every
// scheme or "scheme=host:port" entries separated by ';' (e.g. "http=a:3128;https=b:3129"),
// and the bypass list, ';'-separated host patterns with '*' wildcards plus "<local>" for
// host names without a dot. Loopback hosts never go through a proxy.
#pragma once

#include "Common/Base.h"
#include "Common/WString.h"

namespace Volux {

// Reads the per-user system setting. False when the system has no proxy switched on; the
// transfer layer then leaves libcurl's own handling of the proxy environment variables
// (http_proxy, HTTPS_PROXY, ALL_PROXY, NO_PROXY) in charge.
bool SystemProxySetting(WString& proxies, WString& bypass);

// The proxy for an address under a setting, as "http://host:port" (a scheme given in the
// entry is kept); empty = connect directly.
WString PickProxy(const char16_t* proxies, const char16_t* bypass, const char16_t* address);

} // namespace Volux
