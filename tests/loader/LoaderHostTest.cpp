#include <gtest/gtest.h>

#include <windows.h>

#include <string.h>

#include <string>

#include "Common/Compression.h"
#include "Common/Md5.h"
#include "Common/StringFormatter.h"
#include "Platform/Environment.h"
#include "Platform/WideText_win32.h"
#include "Support/GameServer.h"
#include "Support/ScratchFolder.h"
#include "loader/LoaderCheck.h"
#include "loader/LoaderHost.h"
#include "Platform/File.h"

namespace Volux {
namespace {

using VoluxTest::ScratchFolder;

std::string Narrow(const WString& text) {
    std::string result;
    for (int i = 0; i < text.Length(); i++)
        result.push_back(text[i] < 128 ? char(text[i]) : '?');
    return result;
}

// What the recording test plug-in noted so far.
std::string PluginCalls() {
    wchar_t calls[4096] = L"";
    GetEnvironmentVariableW(L"TestPluginCalls", calls, 4096);
    return Narrow(WString(EnginePtr(calls)));
}

// Test libraries sit beside the test program.
WString BesideProgram(const char16_t* name) {
    WString path = FileSystem::ProgramPath();
    const int slash = path.FindLastChar(u'\\');
    return Format(u"%ls\\%ls", path.Substring(0, slash).Text(), name);
}

class LoaderHostTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(scratch.IsReady());
        SetEnvironmentVariableW(L"TestPluginCalls", nullptr);
        Environment::Remove(u"[MICRO-CLIENT]");
        deployment.supportAddress = u"help desk";
    }
    void TearDown() override { SetEnvironmentVariableW(L"TestPluginCalls", nullptr); }

    // Puts a test library in place as the loader file; its digest is accepted when listed.
    WString Install(const char16_t* library, bool listed = true) {
        const WString path = scratch.At(u"volux3d.lod");
        EXPECT_TRUE(FileSystem::CopyFile(BesideProgram(library), path));
        if (listed)
            deployment.loaderDigests.Append(ChecksumText(FileSystem::FileDigest(path)));
        return path;
    }

    ScratchFolder scratch;
    Deployment deployment;
};

TEST(LoaderPluginVersion, FoaparamGetsTheHostVersion) {
    const struct {
        const char16_t* value;
        const char* expected;
    } cases[] = {
        {u"", "pluginver|0x00010006"},
        {u"a|b", "a|b|pluginver|0x00010006"},
        {u"|a|b|", "a|b|pluginver|0x00010006"},
        {u"||a||", "a|pluginver|0x00010006"},
        {u"|", "pluginver|0x00010006"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Narrow(WithPluginVersion(WString(c.value))), c.expected) << Narrow(WString(c.value));
}

TEST(LoaderCheck, SignersAndBuildsMustBeOnTheDeploymentLists) {
    Deployment deployment;
    deployment.publisherNames.Append(u"Example Games Ltd");
    deployment.loaderDigests.Append(u"0123456789abcdef0123456789abcdef");
    const struct {
        const char16_t* signer;
        bool trusted;
    } signers[] = {{u"Example Games Ltd", true}, {u"example games ltd", false}, {u"Example Games Ltd ", false},
                   {u"", false}, {u"Other", false}};
    for (const auto& c : signers)
        EXPECT_EQ(IsTrustedSigner(WString(c.signer), deployment), c.trusted) << Narrow(WString(c.signer));
    const struct {
        const char16_t* digest;
        bool known;
    } digests[] = {{u"0123456789abcdef0123456789abcdef", true}, {u"0123456789ABCDEF0123456789ABCDEF", true},
                   {u"0123456789abcdef0123456789abcdee", false}, {u"", false}};
    for (const auto& c : digests)
        EXPECT_EQ(IsKnownLoaderDigest(WString(c.digest), deployment), c.known) << Narrow(WString(c.digest));
    // An empty list accepts nothing.
    EXPECT_FALSE(IsTrustedSigner(u"Example Games Ltd", Deployment()));
}

TEST_F(LoaderHostTest, APresentFileWithTheExpectedDigestIsReadyWithoutDownload) {
    const WString path = Install(u"test_plugin_full.dll");
    const struct {
        const char* name;
        WString address;
        WString digest;
        bool ready;
    } cases[] = {
        {"digest matches", u"http://127.0.0.1:9/volux3d.lod", ChecksumText(FileSystem::FileDigest(path)), true},
        {"digest in capitals", u"http://127.0.0.1:9/volux3d.lod",
         [&] { WString d = ChecksumText(FileSystem::FileDigest(path)); WString up; for (int i = 0; i < d.Length(); i++) up.AppendChar(d[i] >= u'a' && d[i] <= u'f' ? char16_t(d[i] - 32) : d[i]); return up; }(),
         true},
        {"local file", Format(u"local:\\%ls", path.Text()), u"", true},
        {"missing local file, digest matches", u"local://C:\\nowhere\\volux3d.lod",
         ChecksumText(FileSystem::FileDigest(path)), true},
        {"empty digest", u"http://127.0.0.1:9/volux3d.lod", u"", false},
    };
    for (const auto& c : cases) {
        LoaderHost host(deployment);
        host.SetLoaderPath(path);
        host.SetLoader(c.address, c.digest);
        EXPECT_EQ(host.Prepare(nullptr), c.ready) << c.name;
        EXPECT_EQ(host.HasDownload(), !c.ready) << c.name;
        if (c.ready) {
            EXPECT_EQ(host.DownloadProgress(), 1.0f) << c.name;
        }
        host.Shutdown();
    }
}

TEST_F(LoaderHostTest, StartCreatesSetsUpAndRendersOnlyOnceAFrameIsReady) {
    const WString path = Install(u"test_plugin_full.dll");
    LoaderHost host(deployment);
    host.SetLoaderPath(path);
    host.SetLoader(Format(u"local:\\%ls", path.Text()), u"");
    Array<GameParameter> parameters;
    parameters.Append({u"server", u"127.0.0.1:9000"});
    parameters.Append({u"foaparam", u"|x|"});
    parameters.Append({u"foaparam", u"y"});
    parameters.Append({u"", u"ignored"});
    parameters.Append({u"after", u"ignored"});
    host.SetGameParameters(parameters);
    ASSERT_TRUE(host.Prepare(nullptr));
    ASSERT_TRUE(host.Start());
    EXPECT_TRUE(host.IsLoaded());
    EXPECT_EQ(PluginCalls(), "create;setup server=127.0.0.1:9000;setup foaparam=x|pluginver|0x00010006;setup foaparam=y;");

    // No message reaches the plug-in before its first rendered frame.
    EXPECT_EQ(host.Forward(WM_KEYDOWN, 65, 0), 0);
    host.Tick();
    host.Tick();
    EXPECT_FALSE(host.IsRendering());
    host.Tick();
    EXPECT_TRUE(host.IsRendering());
    EXPECT_EQ(host.Forward(WM_KEYDOWN, 65, 0), 1);
    const std::string calls = PluginCalls();
    EXPECT_EQ(calls.find("message"), calls.find("message 256 65"));
    EXPECT_NE(calls.find("update;update;update;render;message 256 65;"), std::string::npos) << calls;

    // The guard names the library while it is loaded and is gone after.
    HMODULE module = GetModuleHandleW(WidePtr(path.Text()));
    ASSERT_NE(module, nullptr);
    const WString guard = Format(u"[VoluxLoader-%llx]", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(module)));
    WString value;
    EXPECT_TRUE(Environment::Get(guard, value));
    host.Shutdown();
    EXPECT_NE(PluginCalls().find("delete;"), std::string::npos);
    EXPECT_FALSE(Environment::Get(guard, value) && !value.IsEmpty());
    EXPECT_EQ(GetModuleHandleW(WidePtr(path.Text())), nullptr);
}

TEST_F(LoaderHostTest, TheVersionRuleIsLeftOutInsideTheMicroClient) {
    const WString path = Install(u"test_plugin_full.dll");
    Environment::Set(u"[MICRO-CLIENT]", u"00000001");
    LoaderHost host(deployment);
    host.SetLoaderPath(path);
    host.SetLoader(Format(u"local:\\%ls", path.Text()), u"");
    Array<GameParameter> parameters;
    parameters.Append({u"foaparam", u"|x|"});
    host.SetGameParameters(parameters);
    ASSERT_TRUE(host.Prepare(nullptr));
    ASSERT_TRUE(host.Start());
    EXPECT_EQ(PluginCalls(), "create;setup foaparam=|x|;");
    host.Shutdown();
    Environment::Remove(u"[MICRO-CLIENT]");
}

TEST_F(LoaderHostTest, LibrariesThatCannotStart) {
    const struct {
        const char* name;
        const char16_t* library;
        bool listed;
        bool staysLoaded;
        const char* message;
    } cases[] = {
        {"unknown build", u"test_plugin_full.dll", false, false, "Invalid loader, contact help desk"},
        {"entry point missing", u"test_plugin_no_render.dll", true, false, ""},
        {"creation refused", u"test_plugin_refuse.dll", true, true, ""},
        {"not a program library", nullptr, true, false, ""},
    };
    for (const auto& c : cases) {
        WString path;
        if (c.library != nullptr) {
            path = Install(c.library, c.listed);
        } else {
            path = scratch.At(u"volux3d.lod");
            ASSERT_TRUE(scratch.Put(u"volux3d.lod", "MZ but not really a library"));
            deployment.loaderDigests.Append(ChecksumText(FileSystem::FileDigest(path)));
        }
        LoaderHost host(deployment);
        host.SetLoaderPath(path);
        host.SetLoader(Format(u"local:\\%ls", path.Text()), u"");
        ASSERT_TRUE(host.Prepare(nullptr)) << c.name;
        EXPECT_FALSE(host.Start()) << c.name;
        EXPECT_EQ(host.IsLoaded(), c.staysLoaded) << c.name;
        EXPECT_EQ(Narrow(host.Message()), c.message) << c.name;
        host.Shutdown();
        EXPECT_EQ(GetModuleHandleW(WidePtr(path.Text())), nullptr) << c.name;
        deployment.loaderDigests.Clear();
    }
}

TEST_F(LoaderHostTest, ALibraryAnotherHostRunsIsRefused) {
    const WString path = Install(u"test_plugin_full.dll");
    HMODULE module = LoadLibraryW(WidePtr(path.Text()));
    ASSERT_NE(module, nullptr);
    const WString guard = Format(u"[VoluxLoader-%llx]", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(module)));
    Environment::Set(guard, u"elsewhere");
    LoaderHost host(deployment);
    host.SetLoaderPath(path);
    host.SetLoader(Format(u"local:\\%ls", path.Text()), u"");
    ASSERT_TRUE(host.Prepare(nullptr));
    EXPECT_FALSE(host.Start());
    EXPECT_FALSE(host.IsLoaded());
    EXPECT_EQ(PluginCalls(), "");
    host.Shutdown();
    // Only the host's own reference went: ours still holds the library.
    EXPECT_EQ(GetModuleHandleW(WidePtr(path.Text())), module);
    Environment::Remove(guard);
    FreeLibrary(module);
}

// Polls the download until it is written or the time is up.
bool PollUntilWritten(LoaderHost& host, DWORD milliseconds) {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < milliseconds) {
        if (host.PollDownload())
            return true;
        host.Tick();
        Sleep(20);
    }
    return false;
}

TEST_F(LoaderHostTest, DownloadsWalkTheMirrorsUntilTheDigestMatches) {
    REQUIRE_GAME_SERVER();
    const int size = 5000;
    const std::string body = VoluxTest::Pattern(0, size);
    const WString digest = ChecksumText(ComputeMd5(body.data(), body.size()));
    const std::string tag = "mirrors" + std::to_string(GetTickCount());
    LoaderHost host(deployment);
    host.SetLoaderPath(scratch.At(u"volux3d.lod"));
    // The first address corrupts what it sends; the mirror (another loopback address) does not.
    host.SetLoader(VoluxTest::ServerUrl("/corrupt-on=127.0.0.1/gen/" + std::to_string(size)), digest);
    Array<WString> mirrors;
    mirrors.Append(u"127.0.0.2");
    host.SetMirrors(mirrors);
    host.SetReportAddress(VoluxTest::ServerUrl("/report?tag=" + tag));
    EXPECT_FALSE(host.Prepare(nullptr));
    ASSERT_TRUE(PollUntilWritten(host, 10000));
    EXPECT_EQ(host.MirrorIndex(), 1);
    EXPECT_EQ(scratch.Get(u"volux3d.lod"), body);
    // The report points reach the server.
    for (int i = 0; i < 100 && VoluxTest::LogLinesWith(VoluxTest::ServerLog(), tag + "&pf=1").empty(); i++) {
        host.Tick();
        Sleep(20);
    }
    const std::string reports = VoluxTest::LogLinesWith(VoluxTest::ServerLog(), tag);
    EXPECT_NE(reports.find(tag + "&pf=0"), std::string::npos) << reports;
    EXPECT_NE(reports.find(tag + "&pf=1"), std::string::npos) << reports;
    host.Shutdown();
}

TEST_F(LoaderHostTest, AStalledDownloadMovesToTheNextMirrorEachWindow) {
    REQUIRE_GAME_SERVER();
    LoaderHost host(deployment);
    host.SetLoaderPath(scratch.At(u"volux3d.lod"));
    host.SetLoader(VoluxTest::ServerUrl("/stall/gen/100"), u"00000000000000000000000000000000");
    Array<WString> mirrors;
    mirrors.Append(u"127.0.0.2");
    mirrors.Append(u"127.0.0.3");
    mirrors.Append(u"127.0.0.4");
    host.SetMirrors(mirrors);
    host.SetStallWindow(150);
    EXPECT_FALSE(host.Prepare(nullptr));
    std::string walk = std::to_string(host.MirrorIndex());
    const DWORD start = GetTickCount();
    while (walk.size() < 6 && GetTickCount() - start < 10000) {
        EXPECT_FALSE(host.PollDownload());
        if (host.MirrorIndex() != walk.back() - '0') {
            walk += std::to_string(host.MirrorIndex());
            EXPECT_NE(Narrow(host.DownloadAddress()).find("127.0.0." + std::to_string(host.MirrorIndex() + 1)),
                      std::string::npos);
        }
        Sleep(10);
    }
    EXPECT_EQ(walk, "012301");
    host.Shutdown();
}

// The list entry for a file: its digest, then the message when there is one.
std::string RevocationEntry(const Md5Digest& digest, const char* message) {
    std::string entry(reinterpret_cast<const char*>(digest.bytes), _MD5_DIGEST_SIZE);
    if (message == nullptr)
        return entry;
    const uint32_t count = uint32_t(strlen(message));
    for (int i = 0; i < 4; i++)
        entry.push_back(char((count >> (8 * i)) & 0xFF));
    for (const char* c = message; *c != 0; c++) {
        entry.push_back(*c);
        entry.push_back(0);
    }
    return entry;
}

TEST_F(LoaderHostTest, ARevokedLibraryIsStoppedWithTheListsMessage) {
    REQUIRE_GAME_SERVER();
    const WString path = Install(u"test_plugin_full.dll");
    Md5Digest other;
    other.bytes[0] = 1;
    const struct {
        const char* name;
        std::string list;
        bool stopped;
        const char* message;
    } cases[] = {
        {"not listed", RevocationEntry(other, "other"), false, ""},
        {"listed with a message", RevocationEntry(other, "x") + RevocationEntry(FileSystem::FileDigest(path), "Banned build"),
         true, "Banned build"},
        {"listed without a message", RevocationEntry(FileSystem::FileDigest(path), nullptr), true,
         "Illegle loader, contact help desk"},
        {"empty list", "", false, ""},
    };
    const WString served = BesideProgram(u"served\\bl");
    for (const auto& c : cases) {
        ASSERT_TRUE(FileSystem::WriteFile(served, c.list.data(), _dword(c.list.size()))) << c.name;
        deployment.revocationAddress = VoluxTest::ServerUrl("/dev/bl");
        LoaderHost host(deployment);
        host.SetLoaderPath(path);
        host.SetLoader(Format(u"local:\\%ls", path.Text()), u"");
        ASSERT_TRUE(host.Prepare(nullptr)) << c.name;
        ASSERT_TRUE(host.Start()) << c.name;
        const DWORD start = GetTickCount();
        while (!host.IsStopped() && GetTickCount() - start < 1500) {
            host.Tick();
            Sleep(10);
        }
        EXPECT_EQ(host.IsStopped(), c.stopped) << c.name;
        EXPECT_EQ(host.IsLoaded(), !c.stopped) << c.name;
        EXPECT_EQ(Narrow(host.Message()), c.message) << c.name;
        // A stopped library gets no messages; either way the list is not fetched again.
        if (c.stopped) {
            EXPECT_EQ(host.Forward(WM_KEYDOWN, 65, 0), 0) << c.name;
        }
        EXPECT_FALSE(host.HasDownload()) << c.name;
        host.Shutdown();
    }
    FileSystem::DeleteFile(served);
}

TEST_F(LoaderHostTest, LocalAddressesNameTheLibraryInEitherSpelling) {
    const WString path = Install(u"test_plugin_full.dll");
    const struct {
        const char* name;
        WString address;
    } cases[] = {
        {"backslash", Format(u"local:\\%ls", path.Text())},
        {"slashes", Format(u"local://%ls", path.Text())},
        {"slashes, padded", Format(u" \tlocal://%ls\t ", path.Text())},
    };
    for (const auto& c : cases) {
        LoaderHost host(deployment);
        // The game folder's own file is missing: only the local address can make it ready.
        host.SetLoaderPath(scratch.At(u"missing.lod"));
        host.SetLoader(c.address, u"");
        EXPECT_TRUE(host.Prepare(nullptr)) << c.name;
        EXPECT_FALSE(host.HasDownload()) << c.name;
        EXPECT_EQ(Narrow(host.LoaderPath()), Narrow(path)) << c.name;
        host.Shutdown();
    }
}

TEST_F(LoaderHostTest, ALibraryThatRefusedCreationIsNeverDriven) {
    const WString path = Install(u"test_plugin_refuse.dll");
    LoaderHost host(deployment);
    host.SetLoaderPath(path);
    host.SetLoader(Format(u"local:\\%ls", path.Text()), u"");
    ASSERT_TRUE(host.Prepare(nullptr));
    EXPECT_FALSE(host.Start());
    for (int i = 0; i < 4; i++)
        host.Tick();
    EXPECT_EQ(host.Forward(WM_KEYDOWN, 65, 0), 0);
    // Asked again, it still does not run.
    EXPECT_FALSE(host.Start());
    EXPECT_FALSE(host.IsRendering());
    EXPECT_EQ(PluginCalls(), "create;");
    host.Shutdown();
}

TEST_F(LoaderHostTest, WithoutAHostWindowThePluginNeverHoldsTheInput) {
    const WString path = Install(u"test_plugin_full.dll");
    SetFocus(nullptr);
    LoaderHost host(deployment);
    host.SetLoaderPath(path);
    host.SetLoader(Format(u"local:\\%ls", path.Text()), u"");
    ASSERT_TRUE(host.Prepare(nullptr));
    ASSERT_TRUE(host.Start());
    for (int i = 0; i < 5; i++)
        host.Tick();
    EXPECT_TRUE(host.IsRendering());
    EXPECT_EQ(PluginCalls().find("message 6 1"), std::string::npos) << PluginCalls();
    host.Shutdown();
    host.Shutdown();  // twice is harmless
}

// A plain window standing in for the loader host window.
HWND MakeHostWindow() {
    return CreateWindowExW(0, L"STATIC", L"host", WS_POPUP | WS_VISIBLE, 0, 0, 200, 150, nullptr, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
}

TEST_F(LoaderHostTest, APluginThatEndsItsWindowFromItsFrameLeavesTheHostSound) {
    const WString path = Install(u"test_plugin_full.dll");
    for (const char16_t* action : {u"destroy", u"close", u"quit"}) {
        SetEnvironmentVariableW(L"TestPluginCalls", nullptr);
        SetEnvironmentVariableW(L"TestPluginAction", WidePtr(action));
        HWND window = MakeHostWindow();
        ASSERT_NE(window, nullptr);
        LoaderHost host(deployment);
        host.SetLoaderPath(path);
        host.SetLoader(Format(u"local:\\%ls", path.Text()), u"");
        ASSERT_TRUE(host.Prepare(window));
        ASSERT_TRUE(host.Start());
        for (int i = 0; i < 6; i++)
            host.Tick();
        EXPECT_TRUE(host.IsRendering()) << Narrow(WString(action));
        host.Shutdown();
        host.Shutdown();
        EXPECT_EQ(GetModuleHandleW(WidePtr(path.Text())), nullptr) << Narrow(WString(action));
        if (IsWindow(window))
            DestroyWindow(window);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        }
    }
    SetEnvironmentVariableW(L"TestPluginAction", nullptr);
}

// A locked library file is kept; the download goes beside it under a second name that carries
// the thread id, and that copy is deleted at shutdown.
TEST_F(LoaderHostTest, ALockedLibraryFileGetsASecondName) {
    REQUIRE_GAME_SERVER();
    const int size = 3000;
    const std::string body = VoluxTest::Pattern(0, size);
    const WString digest = ChecksumText(ComputeMd5(body.data(), body.size()));
    const unsigned id = unsigned(GetCurrentThreadId());
    const struct {
        const char16_t* folder;
        const char16_t* name;
        WString second;
    } cases[] = {
        {u"plain", u"volux3d.lod", Format(u"volux3d-%.8x.lod", id)},
        {u"dotted.v2", u"volux3d", Format(u"volux3d-%.8x", id)},
        {u"dotted.v3", u"lib.tar.lod", Format(u"lib.tar-%.8x.lod", id)},
    };
    for (const auto& c : cases) {
        const WString folder = scratch.At(c.folder);
        ASSERT_TRUE(FileSystem::CreateDirectories(folder));
        const WString path = Format(u"%ls\\%ls", folder.Text(), c.name);
        ASSERT_TRUE(FileSystem::WriteFile(path, "old", 3));
        HANDLE lock = CreateFileW(WidePtr(path.Text()), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(lock, INVALID_HANDLE_VALUE);
        LoaderHost host(deployment);
        host.SetLoaderPath(path);
        host.SetLoader(VoluxTest::ServerUrl("/gen/" + std::to_string(size)), digest);
        EXPECT_FALSE(host.Prepare(nullptr));
        ASSERT_TRUE(PollUntilWritten(host, 10000)) << Narrow(path);
        const WString second = Format(u"%ls\\%ls", folder.Text(), c.second.Text());
        EXPECT_EQ(Narrow(host.LoaderPath()), Narrow(second));
        ByteBuffer written;
        EXPECT_TRUE(FileSystem::ReadFile(second, written));
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(written.data), written.size), body);
        host.Shutdown();
        EXPECT_FALSE(FileSystem::IsFile(second)) << Narrow(second);
        CloseHandle(lock);
        EXPECT_TRUE(FileSystem::IsFile(path));
    }
}

TEST_F(LoaderHostTest, ACompressedLibraryFileIsExpandedInPlaceOnlyWhenSound) {
    const std::string plain = VoluxTest::Pattern(0, 4000);
    const WString digest = ChecksumText(ComputeMd5(plain.data(), plain.size()));
    ByteBuffer packed;
    packed.Append(plain.data(), _dword(plain.size()));
    ASSERT_TRUE(PackBuffer(packed, false));
    const std::string block(reinterpret_cast<const char*>(packed.data), packed.size);
    std::string lying = block;
    lying[lying.size() / 2] = char(lying[lying.size() / 2] ^ 0x5A);
    const struct {
        const char* name;
        std::string file;
        bool ready;
    } cases[] = {
        {"sound block", block, true},
        {"truncated to the header", block.substr(0, 16), false},
        {"truncated body", block.substr(0, block.size() - 7), false},
        {"damaged body", lying, false},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(scratch.Put(u"volux3d.lod", c.file));
        LoaderHost host(deployment);
        host.SetLoaderPath(scratch.At(u"volux3d.lod"));
        // An address nothing listens on: a failed check must not depend on a server.
        host.SetLoader(u"http://127.0.0.1:9/volux3d.lod", digest);
        EXPECT_EQ(host.Prepare(nullptr), c.ready) << c.name;
        EXPECT_FALSE(FileSystem::IsFile(scratch.At(u"volux3d.lod.tmp"))) << c.name;
        if (c.ready) {
            EXPECT_EQ(scratch.Get(u"volux3d.lod"), plain) << c.name;
        }
        host.Shutdown();
    }
}

// Whatever the server does, every call on the UI thread returns at once.
TEST_F(LoaderHostTest, AServerThatMisbehavesNeverHoldsTheUiThread) {
    REQUIRE_GAME_SERVER();
    const std::string blackHole = VoluxTest::ServerPort("BLACKHOLE");
    const struct {
        const char* name;
        WString address;
    } cases[] = {
        {"never answers", VoluxTest::ServerUrl("/stall/gen/100")},
        {"stops after the headers", VoluxTest::ServerUrl("/stall-after=10/gen/100")},
        {"redirects to another scheme", VoluxTest::ServerUrl("/location=ftp/gen/100")},
        {"over-long location", VoluxTest::ServerUrl("/location=huge/gen/100")},
        {"redirects for ever", VoluxTest::ServerUrl("/loop/gen/100")},
        {"never accepts", blackHole.empty() ? WString(u"http://127.0.0.1:9/x") : VoluxTest::WideOf("http://127.0.0.1:" + blackHole + "/x")},
    };
    Deployment slow = deployment;
    slow.statisticsEndpoint = VoluxTest::ServerUrl("/stall/");
    slow.revocationAddress = VoluxTest::ServerUrl("/stall/dev/bl");
    for (const auto& c : cases) {
        LoaderHost host(slow);
        host.SetLoaderPath(scratch.At(u"volux3d.lod"));
        host.SetLoader(c.address, u"00000000000000000000000000000000");
        Array<WString> mirrors;
        mirrors.Append(u"127.0.0.2");
        host.SetMirrors(mirrors);
        host.SetReportAddress(VoluxTest::ServerUrl("/stall/report?x=1"));
        host.SetStallWindow(100);
        DWORD longest = 0;
        auto timed = [&](auto call) {
            const DWORD start = GetTickCount();
            call();
            const DWORD spent = GetTickCount() - start;
            longest = spent > longest ? spent : longest;
        };
        timed([&] { EXPECT_FALSE(host.Prepare(nullptr)) << c.name; });
        const DWORD start = GetTickCount();
        while (GetTickCount() - start < 600) {
            timed([&] { EXPECT_FALSE(host.PollDownload()) << c.name; });
            timed([&] { host.Tick(); });
            Sleep(10);
        }
        timed([&] { host.Shutdown(); });
        EXPECT_LT(longest, 500u) << c.name;
        EXPECT_FALSE(FileSystem::IsFile(scratch.At(u"volux3d.lod"))) << c.name;
    }
}

} // namespace
} // namespace Volux
