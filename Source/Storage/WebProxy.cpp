// Choosing a proxy for an address from the system's proxy and bypass lists.
#include "Storage/WebProxy.h"

#include "Common/Array.h"
#include "Common/StringFormatter.h"

namespace Volux {

namespace {

// The scheme (lower case) and host of an address "scheme://[user@]host[:port]/...";
// a bracketed IPv6 host keeps no brackets.
void SplitAddress(const char16_t* address, WString& scheme, WString& host) {
    WString text(address);
    int colon = text.FindText(u"://");
    scheme = colon > 0 ? text.Substring(0, colon) : WString();
    scheme.ToLower();
    int start = colon > 0 ? colon + 3 : 0;
    int stop = start;
    while (text[stop] != 0 && text[stop] != u'/' && text[stop] != u'?' && text[stop] != u'#')
        stop++;
    WString authority = text.Substring(start, stop - start);
    int at = authority.FindLastChar(u'@');
    if (at >= 0)
        authority.Remove(0, at + 1);
    if (authority[0] == u'[') {
        int close = authority.FindChar(u']');
        host = authority.Substring(1, close > 0 ? close - 1 : -1);
    } else {
        int port = authority.FindChar(u':');
        host = port >= 0 ? authority.Substring(0, port) : authority;
    }
    host.ToLower();
}

// '*' matches any run of characters; 'A'..'Z' match without case.
bool WildcardMatch(const char16_t* pattern, const char16_t* text) {
    while (*pattern != 0) {
        if (*pattern == u'*') {
            while (*pattern == u'*')
                pattern++;
            if (*pattern == 0)
                return true;
            for (; *text != 0; text++)
                if (WildcardMatch(pattern, text))
                    return true;
            return false;
        }
        if (*text == 0 || Text::Fold(*pattern) != Text::Fold(*text))
            return false;
        pattern++;
        text++;
    }
    return *text == 0;
}

bool IsLoopback(const WString& host) {
    return host == u"localhost" || host.StartsWith(u"127.") || host == u"::1";
}

bool Bypassed(const char16_t* bypass, const WString& host) {
    if (IsLoopback(host))
        return true;
    Array<WString> patterns;
    Split(bypass, patterns, u"; ,\t\r\n", u" \t");
    for (_dword i = 0; i < patterns.Count(); i++) {
        const WString& pattern = patterns[i];
        if (pattern.IsEmpty())
            continue;
        if (pattern.Compare(u"<local>", false) == 0) {
            if (host.FindChar(u'.') < 0 && host.FindChar(u':') < 0)
                return true;
        } else if (WildcardMatch(pattern, host)) {
            return true;
        }
    }
    return false;
}

} // namespace

WString PickProxy(const char16_t* proxies, const char16_t* bypass, const char16_t* address) {
    WString scheme, host;
    SplitAddress(address, scheme, host);
    if (scheme.IsEmpty() || host.IsEmpty() || Bypassed(bypass, host))
        return WString();
    Array<WString> entries;
    Split(proxies, entries, u"; \t\r\n", u" \t");
    WString chosen, common;
    for (_dword i = 0; i < entries.Count(); i++) {
        const WString& entry = entries[i];
        int equals = entry.FindChar(u'=');
        if (equals < 0) {
            if (common.IsEmpty())
                common = entry;
        } else if (chosen.IsEmpty() && entry.Substring(0, equals).Compare(scheme, false) == 0) {
            chosen = entry.Substring(equals + 1);
        }
    }
    if (chosen.IsEmpty())
        chosen = common;
    if (chosen.IsEmpty())
        return WString();
    if (chosen.FindText(u"://") >= 0)
        return chosen;
    return u"http://" + chosen;
}

} // namespace Volux
