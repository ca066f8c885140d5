// Transfers go through the proxy the environment names (the game server acts as the proxy).
#include <gtest/gtest.h>

#include <cstdlib>

#include "Support/GameServer.h"

using namespace Volux;
using namespace VoluxTest;

TEST(WebProxy, TransfersGoThroughTheEnvironmentsProxy) {
    REQUIRE_GAME_SERVER();
    ASSERT_EQ(setenv("http_proxy", ("http://" + GameServerHost()).c_str(), 1), 0);
    ByteBuffer buffer;
    WebRequest request;
    // A host that cannot resolve: only the proxy can answer for it.
    request.address = u"http://volux-proxy-check.invalid/tag=proxy-env/gen/64";
    request.output = WebRequest::_BUFFER;
    request.buffer = &buffer;
    bool ok = FetchOffThread(request);
    unsetenv("http_proxy");
    EXPECT_TRUE(ok);
    EXPECT_TRUE(Bytes(buffer) == Pattern(0, 64));
    EXPECT_NE(LogLinesWith(ServerLog(), "tag=proxy-env").find("proxy 127.0.0.1 GET http://volux-proxy-check.invalid/"),
              std::string::npos);
}
