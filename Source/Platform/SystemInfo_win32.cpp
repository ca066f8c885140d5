// System version, user-interface language and MAC address on Win32.
#include <winsock2.h>
#include <windows.h>

#include <iphlpapi.h>

#include "Common/Memory.h"
#include "Common/StringFormatter.h"
#include "Platform/SystemInfo.h"

namespace Volux {
namespace SystemInfo {

namespace {
// The adapter list is sized by the system; more than this is not believed.
constexpr ULONG _MAX_ADAPTER_BYTES = 1024 * 1024;

// Winsock for one query.
class WinsockScope {
public:
    WinsockScope() {
        WSADATA data;
        mStarted = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }
    ~WinsockScope() {
        if (mStarted)
            WSACleanup();
    }
    WinsockScope(const WinsockScope&) = delete;
    WinsockScope& operator=(const WinsockScope&) = delete;
    bool Started() const { return mStarted; }

private:
    bool mStarted;
};

// The adapter list, or null; the caller frees it with MemFree.
IP_ADAPTER_INFO* AdapterList() {
    ULONG size = 0;
    // The list can grow between the sizing call and the reading one: try again a few times.
    for (int attempt = 0; attempt < 3; attempt++) {
        if (GetAdaptersInfo(nullptr, &size) != ERROR_BUFFER_OVERFLOW || size == 0 || size > _MAX_ADAPTER_BYTES)
            return nullptr;
        IP_ADAPTER_INFO* list = static_cast<IP_ADAPTER_INFO*>(MemAlloc(size));
        if (list == nullptr)
            return nullptr;
        ULONG room = size;
        DWORD result = GetAdaptersInfo(list, &room);
        if (result == ERROR_SUCCESS)
            return list;
        MemFree(list);
        if (result != ERROR_BUFFER_OVERFLOW)
            return nullptr;
    }
    return nullptr;
}
} // namespace

bool SystemVersion(_dword& major, _dword& minor) {
    major = minor = 0;
    OSVERSIONINFOW info;
    ZeroMemory(&info, sizeof(info));
    info.dwOSVersionInfoSize = sizeof(info);
    if (!GetVersionExW(&info))
        return false;
    major = info.dwMajorVersion;
    minor = info.dwMinorVersion;
    return true;
}

int VersionCodeOf(_dword major, _dword minor) {
    if (major == 10)
        return 8;
    if (major == 5 && minor <= 2)
        return int(minor) + 1;
    if (major == 6 && minor <= 3)
        return int(minor) + 4;
    return 0;
}

int VersionCode() {
    _dword major, minor;
    return SystemVersion(major, minor) ? VersionCodeOf(major, minor) : 0;
}

int LanguageCodeOf(_word languageId) {
    switch (languageId & 0x3FF) {
    case 0x04: return languageId == 2052 ? 2 : 3;  // 2052: Chinese as used in the PRC
    case 0x09: return 1;
    case 0x0C: return 12;
    case 0x11: return 4;
    case 0x12: return 5;
    case 0x16: return 7;
    case 0x19: return 11;
    case 0x1E: return 8;
    case 0x1F: return 9;
    case 0x2A: return 10;
    case 0x3E: return 6;
    default: return 0;
    }
}

int LanguageCode() { return LanguageCodeOf(GetUserDefaultUILanguage()); }

WString MacAddress() {
    WinsockScope winsock;
    if (!winsock.Started())
        return WString();
    char host[256];
    if (gethostname(host, sizeof(host)) != 0)
        return WString();
    host[sizeof(host) - 1] = 0;
    hostent* entry = gethostbyname(host);
    if (entry == nullptr || entry->h_addrtype != AF_INET || entry->h_length != 4 || entry->h_addr_list == nullptr ||
        entry->h_addr_list[0] == nullptr)
        return WString();
    ULONG address;
    CopyMemory(&address, entry->h_addr_list[0], sizeof(address));

    IP_ADAPTER_INFO* list = AdapterList();
    if (list == nullptr)
        return WString();
    WString result;
    for (IP_ADAPTER_INFO* adapter = list; adapter != nullptr && result.IsEmpty(); adapter = adapter->Next) {
        if (adapter->AddressLength < 6)
            continue;
        // Every address the adapter carries, not only its first.
        for (IP_ADDR_STRING* ip = &adapter->IpAddressList; ip != nullptr; ip = ip->Next) {
            if (inet_addr(ip->IpAddress.String) != address)
                continue;
            const BYTE* mac = adapter->Address;
            result = Format(u"%.2X:%.2X:%.2X:%.2X:%.2X:%.2X", mac[0], mac[1], mac[2], mac[3], mac[4], mac[5]);
            break;
        }
    }
    MemFree(list);
    return result;
}

} // namespace SystemInfo
} // namespace Volux
