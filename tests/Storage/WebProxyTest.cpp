// Choosing the proxy of the user's setting for an address.
#include <gtest/gtest.h>

#include "Storage/WebProxy.h"
#include "Support/LogCapture.h"

using namespace Volux;
using namespace VoluxTest;

TEST(WebProxy, PicksTheEntryOfTheSchemeUnlessTheHostIsBypassed) {
    struct Case {
        const char16_t* proxies;
        const char16_t* bypass;
        const char16_t* address;
        const char16_t* expected;
    } cases[] = {
        {u"proxy:3128", u"", u"http://game.example/a", u"http://proxy:3128"},
        {u"proxy:3128", u"", u"https://game.example/a", u"http://proxy:3128"},
        {u"http=a:1;https=b:2", u"", u"http://game.example/", u"http://a:1"},
        {u"http=a:1;https=b:2", u"", u"https://game.example/", u"http://b:2"},
        {u"HTTP=a:1; c:3", u"", u"https://game.example/", u"http://c:3"},
        {u"ftp=a:1", u"", u"http://game.example/", u""},
        {u"socks5://s:1080", u"", u"http://game.example/", u"socks5://s:1080"},
        {u"proxy:3128", u"*.example;other.net", u"http://cdn.game.example:8080/x", u""},
        {u"proxy:3128", u"*.example;other.net", u"http://OTHER.NET/x", u""},
        {u"proxy:3128", u"*.example;other.net", u"http://example/x", u"http://proxy:3128"},
        {u"proxy:3128", u"<local>", u"http://intranet/x", u""},
        {u"proxy:3128", u"<local>", u"http://intranet.corp/x", u"http://proxy:3128"},
        {u"proxy:3128", u"10.*", u"http://user:pw@10.1.2.3:80/", u""},
        {u"proxy:3128", u"", u"http://127.0.0.1:8080/", u""},
        {u"proxy:3128", u"", u"http://localhost/", u""},
        {u"proxy:3128", u"", u"http://[::1]:80/", u""},
        {u"", u"", u"http://game.example/", u""},
        {u"proxy:3128", u"", u"no address", u""},
    };
    for (const Case& c : cases) {
        WString picked = PickProxy(c.proxies, c.bypass, c.address);
        EXPECT_EQ(Narrow(picked.Text()), Narrow(c.expected)) << Narrow(c.proxies) << " | " << Narrow(c.bypass) << " | "
                                                           << Narrow(c.address);
    }
}
