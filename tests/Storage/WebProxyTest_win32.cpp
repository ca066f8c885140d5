// Transfers go through the user's proxy setting (the game server acts as the proxy); the
// setting is restored afterwards.
#include <gtest/gtest.h>

#include "Platform/Registry.h"
#include "Support/GameServer.h"

using namespace Volux;
using namespace VoluxTest;

namespace {
const char16_t _SETTINGS[] = u"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";

// Sets the three proxy values for its lifetime.
class ProxySetting {
public:
    ProxySetting(const WString& server, const char16_t* bypass) {
        RegistryKey key(RegistryKey::_CURRENT_USER, RegistryKey::_READ_WRITE);
        if (!key.Create(_SETTINGS))
            return;
        mHadEnable = key.GetDword(u"ProxyEnable", mEnable);
        mHadServer = key.GetText(u"ProxyServer", mServer);
        mHadBypass = key.GetText(u"ProxyOverride", mBypass);
        ready = key.SetDword(u"ProxyEnable", 1) && key.SetText(u"ProxyServer", server) &&
                key.SetText(u"ProxyOverride", bypass);
    }
    ~ProxySetting() {
        RegistryKey key(RegistryKey::_CURRENT_USER, RegistryKey::_READ_WRITE);
        if (!key.Open(_SETTINGS))
            return;
        mHadEnable ? key.SetDword(u"ProxyEnable", mEnable) : key.DeleteValue(u"ProxyEnable");
        mHadServer ? key.SetText(u"ProxyServer", mServer) : key.DeleteValue(u"ProxyServer");
        mHadBypass ? key.SetText(u"ProxyOverride", mBypass) : key.DeleteValue(u"ProxyOverride");
    }
    bool ready = false;

private:
    bool mHadEnable = false, mHadServer = false, mHadBypass = false;
    _dword mEnable = 0;
    WString mServer, mBypass;
};

bool FetchThroughSetting(const char* tag, ByteBuffer& buffer) {
    WebRequest request;
    // A host that cannot resolve: only the proxy can answer for it.
    request.address = WideOf(std::string("http://volux-proxy-check.invalid/tag=") + tag + "/gen/64");
    request.output = WebRequest::_BUFFER;
    request.buffer = &buffer;
    return FetchOffThread(request);
}
} // namespace

TEST(WebProxy, TransfersGoThroughTheUsersProxySetting) {
    REQUIRE_GAME_SERVER();
    {
        ProxySetting setting(WideOf("http=" + GameServerHost()), u"<local>");
        ASSERT_TRUE(setting.ready);
        ByteBuffer buffer;
        EXPECT_TRUE(FetchThroughSetting("proxy-user", buffer));
        EXPECT_TRUE(Bytes(buffer) == Pattern(0, 64));
    }
    {
        ProxySetting setting(WideOf(GameServerHost()), u"*.invalid");
        ASSERT_TRUE(setting.ready);
        ByteBuffer buffer;
        EXPECT_FALSE(FetchThroughSetting("proxy-bypassed", buffer));
    }
    std::string log = ServerLog();
    EXPECT_NE(LogLinesWith(log, "tag=proxy-user").find("proxy 127.0.0.1 GET http://volux-proxy-check.invalid/"),
              std::string::npos);
    EXPECT_EQ(LogLinesWith(log, "tag=proxy-bypassed"), "");
}
