// The per-user proxy setting on Windows: the Internet Settings values that the system's proxy
// page writes (ProxyEnable, ProxyServer, ProxyOverride), read at every transfer so a change
// applies without a restart.
#include "Platform/Registry.h"
#include "Storage/WebProxy.h"

namespace Volux {

bool SystemProxySetting(WString& proxies, WString& bypass) {
    proxies = WString();
    bypass = WString();
    RegistryKey key(RegistryKey::_CURRENT_USER, RegistryKey::_READ);
    if (!key.Open(u"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings"))
        return false;
    _dword enabled = 0;
    if (!key.GetDword(u"ProxyEnable", enabled) || enabled == 0 || !key.GetText(u"ProxyServer", proxies) ||
        proxies.IsEmpty())
        return false;
    key.GetText(u"ProxyOverride", bypass);
    return true;
}

} // namespace Volux
