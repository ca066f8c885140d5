// The crash test with a child process of the test program ended by TerminateProcess (see
// HashArchiveCrash.h). The child is this same test, started with VOLUX_CRASH_WRITER naming
// the archive, the seed and an event it sets once the archive is open.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <random>
#include <string>

#include "Storage/HashArchiveCrash.h"
#include "Support/LogCapture.h"
#include "Support/ScratchFolder.h"

using namespace Volux;
using namespace VoluxTest::Crash;

namespace {

const wchar_t* const _WRITER_VARIABLE = L"VOLUX_CRASH_WRITER";

const wchar_t* W(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }

// In the child: "seed|event|path". Writes until it is terminated.
void RunAsWriter(const wchar_t* value) {
    std::wstring text = value;
    size_t first = text.find(L'|');
    size_t second = text.find(L'|', first + 1);
    if (first == std::wstring::npos || second == std::wstring::npos)
        ExitProcess(4);
    unsigned seed = unsigned(wcstoul(text.substr(0, first).c_str(), nullptr, 10));
    std::wstring eventName = text.substr(first + 1, second - first - 1);
    std::wstring path = text.substr(second + 1);
    HANDLE ready = OpenEventW(EVENT_MODIFY_STATE, FALSE, eventName.c_str());
    RunWriter(WString(reinterpret_cast<const char16_t*>(path.c_str())), seed, [ready] { SetEvent(ready); });
    ExitProcess(3);
}

TEST(HashArchiveCrash, EveryResourceIsOldOrNewAfterTerminateProcessAtAnyPoint) {
    wchar_t writer[1024];
    if (GetEnvironmentVariableW(_WRITER_VARIABLE, writer, 1024) > 0)
        RunAsWriter(writer);

    VoluxTest::ScratchFolder folder;
    VoluxTest::LogCapture log;
    WString path = folder.At(u"crash.qod");
    ASSERT_TRUE(CreateArchive(path));
    wchar_t program[MAX_PATH];
    ASSERT_GT(GetModuleFileNameW(nullptr, program, MAX_PATH), 0u);
    std::wstring command = std::wstring(L"\"") + program +
                           L"\" --gtest_filter=HashArchiveCrash.EveryResourceIsOldOrNewAfterTerminateProcessAtAnyPoint";
    std::wstring eventName = L"VoluxCrashReady-" + std::to_wstring(GetCurrentProcessId());
    HANDLE ready = CreateEventW(nullptr, FALSE, FALSE, eventName.c_str());
    ASSERT_NE(ready, nullptr);
    std::mt19937 random(20240611);
    // Each round starts a process, slow under Wine: fewer rounds than the fork-based test.
    const int rounds = 40;
    for (int round = 0; round < rounds; round++) {
        std::wstring value = std::to_wstring(round + 1) + L"|" + eventName + L"|" + W(path.Text());
        SetEnvironmentVariableW(_WRITER_VARIABLE, value.c_str());
        STARTUPINFOW startup = {};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION child = {};
        std::wstring line = command;
        BOOL started = CreateProcessW(program, &line[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                                      &startup, &child);
        SetEnvironmentVariableW(_WRITER_VARIABLE, nullptr);
        ASSERT_TRUE(started) << "round " << round;
        // The kill lands at a random moment after the child has the archive open.
        HANDLE waits[2] = {ready, child.hProcess};
        DWORD which = WaitForMultipleObjects(2, waits, FALSE, 60000);
        EXPECT_EQ(which, WAIT_OBJECT_0) << "writer did not start in round " << round;
        Sleep(DWORD(random() % 40));
        TerminateProcess(child.hProcess, 9);
        WaitForSingleObject(child.hProcess, INFINITE);
        DWORD code = 0;
        GetExitCodeProcess(child.hProcess, &code);
        CloseHandle(child.hThread);
        CloseHandle(child.hProcess);
        ASSERT_EQ(code, 9u) << "writer ended by itself in round " << round;
        CheckArchive(path, round);
        if (HasFatalFailure())
            break;
    }
    CloseHandle(ready);
}

} // namespace
