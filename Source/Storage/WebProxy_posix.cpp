// No system-wide proxy setting beyond the environment here: libcurl reads http_proxy,
// HTTPS_PROXY, ALL_PROXY and NO_PROXY itself for every transfer.
#include "Storage/WebProxy.h"

namespace Volux {

bool SystemProxySetting(WString& proxies, WString& bypass) {
    proxies = WString();
    bypass = WString();
    return false;
}

} // namespace Volux
