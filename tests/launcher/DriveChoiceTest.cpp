#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "Platform/File.h"
#include "launcher/DriveChoice.h"

namespace Volux {
namespace {

constexpr _qword _MB = _BYTES_PER_MEGABYTE;

// A made-up machine: which drives exist, which missing roots can be created, and their free
// bytes. It records every root it was asked to measure and which created roots remain.
struct FakeDrive {
    bool present = false;
    bool creatable = false;  // a missing root that can be made (and then measured)
    _qword freeBytes = 0;
};

class FakeMachine {
public:
    DriveServices Services() { return {this, RootExists, CreateRoot, RemoveRoot, FreeBytes}; }

    std::map<char16_t, FakeDrive> drives;
    std::u16string measured;       // letters in the order they were measured
    std::u16string createdRoots;   // roots created and not removed again
    int creations = 0;

private:
    static FakeMachine& Of(void* context) { return *static_cast<FakeMachine*>(context); }
    static char16_t Letter(const char16_t* root) {
        EXPECT_EQ(root[1], u':');
        EXPECT_EQ(root[2], u'\\');
        EXPECT_EQ(root[3], 0);
        return root[0];
    }
    static bool RootExists(void* context, const char16_t* root) {
        FakeMachine& machine = Of(context);
        char16_t letter = Letter(root);
        return machine.drives[letter].present || machine.createdRoots.find(letter) != std::u16string::npos;
    }
    static bool CreateRoot(void* context, const char16_t* root) {
        FakeMachine& machine = Of(context);
        char16_t letter = Letter(root);
        if (!machine.drives[letter].creatable)
            return false;
        machine.createdRoots += letter;
        machine.creations++;
        return true;
    }
    static bool RemoveRoot(void* context, const char16_t* root) {
        FakeMachine& machine = Of(context);
        size_t at = machine.createdRoots.find(Letter(root));
        if (at == std::u16string::npos)
            return false;  // removing a root that was there before would be the fault
        machine.createdRoots.erase(at, 1);
        return true;
    }
    static _qword FreeBytes(void* context, const char16_t* root) {
        FakeMachine& machine = Of(context);
        char16_t letter = Letter(root);
        EXPECT_TRUE(RootExists(context, root)) << "measured a root that does not exist";
        machine.measured += letter;
        return machine.drives[letter].freeBytes;
    }
};

struct DriveSetting {
    char letter;
    bool present;
    bool creatable;
    _qword freeBytes;
};

struct ChoiceCase {
    const char* what;
    int needed;
    std::vector<DriveSetting> drives;  // letters not listed are absent and cannot be created
    char16_t chosen;
    const char16_t* measured;  // the letters measured, in order
};

TEST(DriveChoiceTest, FirstDriveWithStrictlyMoreThanTheNeedWins) {
    const ChoiceCase cases[] = {
        {"c: has room", 900, {{'c', true, false, 901 * _MB}, {'d', true, false, 5000 * _MB}}, u'c', u"c"},
        {"exactly the need is not enough", 900,
         {{'c', true, false, 900 * _MB}, {'d', true, false, 901 * _MB}}, u'd', u"cd"},
        {"a part of a megabyte does not count", 900,
         {{'c', true, false, 901 * _MB - 1}, {'d', true, false, 900 * _MB + _MB / 2}, {'e', true, false, 901 * _MB}},
         u'e', u"cde"},
        {"missing drives are skipped", 100,
         {{'c', true, false, 10 * _MB}, {'f', true, false, 200 * _MB}, {'g', true, false, 300 * _MB}}, u'f', u"cf"},
        {"a created root is measured", 100, {{'c', true, false, 0}, {'d', false, true, 200 * _MB}}, u'd', u"cd"},
        {"no drive has room", 900,
         {{'c', true, false, 10 * _MB}, {'d', false, true, 900 * _MB}, {'z', true, false, 899 * _MB}}, 0, u"cdz"},
        {"a negative need still wants a measurable drive", -5, {{'c', true, false, 0}, {'q', true, false, _MB}}, u'q',
         u"cq"},
        {"no drive at all", 0, {}, 0, u""},
    };
    for (const ChoiceCase& row : cases) {
        SCOPED_TRACE(row.what);
        FakeMachine machine;
        for (const DriveSetting& drive : row.drives)
            machine.drives[char16_t(drive.letter)] = {drive.present, drive.creatable, drive.freeBytes};
        DriveServices services = machine.Services();
        EXPECT_EQ(int(ChooseInstallDrive(services, row.needed)), int(row.chosen));
        EXPECT_EQ(machine.measured, std::u16string(row.measured));
        EXPECT_TRUE(machine.createdRoots.empty()) << "a created root was left behind";
    }
}

TEST(DriveChoiceTest, CreatedRootIsRemovedAfterMeasuring) {
    FakeMachine machine;
    machine.drives[u'e'] = {false, true, 1234 * _MB + 7};
    DriveServices services = machine.Services();
    EXPECT_EQ(FreeMegabytes(services, u'e'), 1234u);
    EXPECT_EQ(machine.creations, 1);
    EXPECT_TRUE(machine.createdRoots.empty());
    // A root that cannot be created has no space and is not measured.
    EXPECT_EQ(FreeMegabytes(services, u'k'), 0u);
    EXPECT_EQ(machine.measured, u"e");
}

TEST(DriveChoiceTest, SystemDrivesMeasureTheSystemDriveAndLeaveMissingLettersAlone) {
    EXPECT_GT(FreeMegabytes(SystemDrives(), u'c'), 0u);
    // Some letter is free on any machine the tests run on; it must stay free.
    for (char16_t letter = u'y'; letter >= u'd'; letter--) {
        const char16_t root[] = {letter, u':', u'\\', 0};
        if (FileSystem::IsDirectory(root))
            continue;
        EXPECT_EQ(FreeMegabytes(SystemDrives(), letter), 0u);
        EXPECT_FALSE(FileSystem::IsDirectory(root));
        return;
    }
    GTEST_SKIP() << "every drive letter is in use";
}

} // namespace
} // namespace Volux
