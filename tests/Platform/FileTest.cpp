#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "Common/ByteBuffer.h"
#include "Common/StringFormatter.h"
#include "Platform/File.h"
#include "Support/DirectoryLink.h"
#include "Support/LogCapture.h"

using namespace Volux;
using VoluxTest::Narrow;

namespace {

std::string ReadBytes(const char16_t* path) {
    ByteBuffer buffer;
    if (!FileSystem::ReadFile(path, buffer))
        return "<unreadable>";
    return std::string(reinterpret_cast<const char*>(buffer.data), buffer.size);
}

std::string Show(const WString& text) { return Narrow(text.Text()); }

// Restores the process's current directory however the test ends.
class CurrentDirectoryGuard {
public:
    CurrentDirectoryGuard() : mSaved(FileSystem::CurrentDirectory()) {}
    ~CurrentDirectoryGuard() { FileSystem::ChangeDirectory(mSaved); }

private:
    WString mSaved;
};

// Each test works in a fresh folder under the system's temporary folder.
class FileTest : public testing::Test {
protected:
    void SetUp() override {
        mRoot = FileSystem::TemporaryName(FileSystem::TemporaryFolder(), u"vft");
        ASSERT_FALSE(mRoot.IsEmpty());
        ASSERT_TRUE(FileSystem::DeleteFile(mRoot));
        ASSERT_TRUE(FileSystem::CreateDirectories(mRoot));
    }
    void TearDown() override {
        EXPECT_TRUE(FileSystem::RemoveDirectoryTree(mRoot)) << Show(mRoot);
        EXPECT_FALSE(FileSystem::IsDirectory(mRoot));
    }

    WString At(const char16_t* relative) const { return Format(u"%ls\\%ls", mRoot.Text(), relative); }

    void Put(const char16_t* relative, const std::string& bytes) {
        ASSERT_TRUE(FileSystem::WriteFile(At(relative), bytes.data(), _dword(bytes.size()))) << Narrow(relative);
    }
    std::string Get(const char16_t* relative) const { return ReadBytes(At(relative)); }

    WString mRoot;
};

struct Reported {
    std::vector<std::u16string> names;
    int expectedUser = 0;
};

void Collect(const char16_t* name, void* context, void* user) {
    Reported& reported = *static_cast<Reported*>(context);
    EXPECT_EQ(user, &reported.expectedUser);
    reported.names.push_back(name);
}

std::vector<std::u16string> Sorted(std::vector<std::u16string> names) {
    std::sort(names.begin(), names.end());
    return names;
}

std::u16string DirectoryPart(const std::u16string& name) {
    size_t at = name.rfind(u'\\');
    return at == std::u16string::npos ? std::u16string() : name.substr(0, at);
}

bool IsBelow(const std::u16string& directory, const std::u16string& ancestor) {
    if (ancestor.empty())
        return !directory.empty();
    return directory.size() > ancestor.size() && directory.compare(0, ancestor.size(), ancestor) == 0 &&
           directory[ancestor.size()] == u'\\';
}

} // namespace

TEST(File, ClosedFileRefusesEverythingButAnEmptyRead) {
    File file;
    char bytes[4] = {};
    _dword count = 7;
    EXPECT_TRUE(file.Read(nullptr, 0));
    EXPECT_TRUE(file.Read(bytes, 0, &count));
    EXPECT_EQ(count, 0u);
    EXPECT_FALSE(file.Read(bytes, 4));
    EXPECT_FALSE(file.Write(bytes, 0));
    EXPECT_FALSE(file.Write(bytes, 4));
    EXPECT_FALSE(file.Seek(0));
    EXPECT_FALSE(file.SetSize(0));
    EXPECT_EQ(file.Size(), 0u);
    EXPECT_EQ(file.Tell(), 0u);
    ByteBuffer all;
    EXPECT_FALSE(file.ReadAll(all));
    EXPECT_EQ(file.Detach(), nullptr);
}

TEST_F(FileTest, NullBufferWithALengthIsReportedAndRefused) {
    Put(u"f.bin", "abcd");
    File file;
    ASSERT_TRUE(file.Open(At(u"f.bin"), File::_UPDATE));
    VoluxTest::LogCapture log;
    _dword count = 0;
    EXPECT_FALSE(file.Read(nullptr, 4));
    EXPECT_FALSE(file.Read(nullptr, 4, &count));
    EXPECT_FALSE(file.Write(nullptr, 4));
    EXPECT_NE(log.error.find(u"Assertion Failed : buffer != _null\r\nPlatform/File:"), std::u16string::npos)
        << Narrow(log.error);
    EXPECT_EQ(file.Size(), 4u);
    EXPECT_EQ(file.Tell(), 0u);
}

TEST_F(FileTest, ReadWithACountSucceedsShortOfTheEnd) {
    Put(u"f.bin", "abc");
    File file;
    ASSERT_TRUE(file.Open(At(u"f.bin"), File::_READ));
    char bytes[8] = {};
    _dword count = 0;
    EXPECT_TRUE(file.Read(bytes, sizeof(bytes), &count));
    EXPECT_EQ(count, 3u);
    EXPECT_EQ(std::string(bytes, count), "abc");
    EXPECT_TRUE(file.Read(bytes, sizeof(bytes), &count));
    EXPECT_EQ(count, 0u);
    ASSERT_TRUE(file.Seek(0));
    EXPECT_FALSE(file.Read(bytes, sizeof(bytes)));
    // A file opened for reading takes no writes.
    EXPECT_FALSE(file.Write("x", 1));
}

TEST_F(FileTest, OpenModes) {
    struct Case {
        File::Mode mode;
        bool existing;
        bool opens;
        _qword size;
    };
    const Case cases[] = {
        {File::_CREATE, false, true, 0}, {File::_CREATE, true, true, 0}, {File::_READ, false, false, 0},
        {File::_READ, true, true, 5},    {File::_UPDATE, false, false, 0}, {File::_UPDATE, true, true, 5},
    };
    int index = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(index);
        WString folder = At(Format(u"case%d", index++));
        // A missing file also lies in a missing folder, which only create may make.
        WString path = Format(u"%ls\\inner\\f.bin", folder.Text());
        if (c.existing) {
            ASSERT_TRUE(FileSystem::WriteFile(path, "12345", 5));
        }
        File file;
        EXPECT_EQ(file.Open(path, c.mode), c.opens);
        EXPECT_EQ(file.IsOpen(), c.opens);
        EXPECT_EQ(file.Size(), c.size);
        EXPECT_EQ(file.Tell(), 0u);
        EXPECT_EQ(FileSystem::IsFile(path), c.existing || c.opens);
    }
}

TEST_F(FileTest, OpeningAgainReleasesTheFirstFile) {
    File file;
    ASSERT_TRUE(file.Open(At(u"first.bin"), File::_CREATE));
    ASSERT_TRUE(file.Open(At(u"second.bin"), File::_CREATE));
    // Windows refuses to delete a file that is still open without delete sharing.
    EXPECT_TRUE(FileSystem::DeleteFile(At(u"first.bin")));
    EXPECT_TRUE(file.Write("2", 1));
    file.Close();
    EXPECT_EQ(Get(u"second.bin"), "2");
}

TEST_F(FileTest, DetachedHandleOutlivesTheObjectAndTakesLines) {
    FileHandle handle = nullptr;
    {
        File file;
        ASSERT_TRUE(file.Open(At(u"log.txt"), File::_CREATE));
        handle = file.Detach();
        EXPECT_FALSE(file.IsOpen());
    }
    ASSERT_NE(handle, nullptr);
    File::WriteLine(handle, u"ab", true);
    File::WriteLine(handle, u"c", false);
    File::WriteLine(handle, u"", true);
    File::CloseHandle(handle);
    File::WriteLine(nullptr, u"ignored", true);
    EXPECT_EQ(Get(u"log.txt"), std::string("a\0b\0\r\0\n\0c\0\r\0\n\0", 14));
}

TEST_F(FileTest, SetSizeKeepsThePosition) {
    struct Case {
        _qword position;
        _qword size;
        std::string content;
    };
    const Case cases[] = {
        {7, 4, "0123"},
        {7, 12, std::string("0123456789\0\0", 12)},
        {0, 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        File file;
        ASSERT_TRUE(file.Open(At(u"f.bin"), File::_CREATE));
        ASSERT_TRUE(file.Write("0123456789", 10));
        ASSERT_TRUE(file.Seek(c.position));
        EXPECT_TRUE(file.SetSize(c.size));
        EXPECT_EQ(file.Size(), c.size);
        EXPECT_EQ(file.Tell(), c.position);
        file.Close();
        EXPECT_EQ(Get(u"f.bin"), c.content);
    }
}

TEST_F(FileTest, SizesAndPositionsPassFourGiB) {
    const _qword gib = _qword(1) << 30;
    File file;
    ASSERT_TRUE(file.Open(At(u"sparse.bin"), File::_CREATE));
    // The file system keeps this sparse, so nothing of it is written.
    ASSERT_TRUE(file.SetSize(5 * gib));
    EXPECT_EQ(file.Size(), 5 * gib);
    EXPECT_TRUE(file.Seek(4 * gib + 1));
    EXPECT_EQ(file.Tell(), 4 * gib + 1);
    EXPECT_TRUE(file.Seek(_qword(-3), File::_FROM_END));
    EXPECT_EQ(file.Tell(), 5 * gib - 3);
    ByteBuffer all;
    EXPECT_FALSE(file.ReadAll(all));
    EXPECT_EQ(all.size, 0u);
}

TEST_F(FileTest, ReadAllAndReadFile) {
    Put(u"payload.bin", std::string("pay\0load", 8));
    Put(u"empty.bin", "");
    ByteBuffer buffer;
    ASSERT_TRUE(FileSystem::ReadFile(At(u"payload.bin"), buffer));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(buffer.data), buffer.size), std::string("pay\0load", 8));
    EXPECT_EQ(buffer.name, At(u"payload.bin"));
    EXPECT_EQ(buffer.cursor, buffer.data);

    ASSERT_TRUE(FileSystem::ReadFile(At(u"empty.bin"), buffer));
    EXPECT_EQ(buffer.size, 0u);

    EXPECT_FALSE(FileSystem::ReadFile(At(u"missing.bin"), buffer));
    EXPECT_FALSE(FileSystem::ReadFile(mRoot, buffer));
}

TEST_F(FileTest, WriteTextEncodings) {
    struct Case {
        int encoding;
        const char16_t* text;
        std::string bytes;
    };
    const Case cases[] = {
        {1, u"A\u00e9\u20ac", std::string("A\0\xe9\0\xac\x20", 6)},
        {2, u"A\u00e9\u20ac", "A\xc3\xa9\xe2\x82\xac"},
        // Outside ASCII the ANSI bytes depend on the system's code page.
        {0, u"Plain text", "Plain text"},
        {3, u"Plain text", "Plain text"},
        {1, u"", ""},
        {2, u"", ""},
        {0, nullptr, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.encoding);
        File file;
        ASSERT_TRUE(file.Open(At(u"text.txt"), File::_CREATE));
        EXPECT_TRUE(file.WriteText(c.text, c.encoding));
        file.Close();
        EXPECT_EQ(Get(u"text.txt"), c.bytes);
    }
}

TEST_F(FileTest, WriteFileLeavesExactlyTheNewBytes) {
    struct Case {
        const char16_t* name;
        const char* before;  // null: the file does not exist yet
        const char* bytes;   // null: only the size is set
        _dword n;
        std::string after;
    };
    const Case cases[] = {
        {u"grow.bin", "abc", "abcdef", 6, "abcdef"},
        {u"shrink.bin", "a much longer text", "short", 5, "short"},
        {u"empty.bin", "abc", "", 0, ""},
        {u"new\\folder\\made.bin", nullptr, "xyz", 3, "xyz"},
        {u"cut.bin", "abcdef", nullptr, 3, "abc"},
        {u"zeros.bin", nullptr, nullptr, 3, std::string(3, '\0')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.name));
        if (c.before != nullptr)
            Put(c.name, c.before);
        EXPECT_TRUE(FileSystem::WriteFile(At(c.name), c.bytes, c.n));
        EXPECT_EQ(Get(c.name), c.after);
    }
    EXPECT_FALSE(FileSystem::WriteFile(mRoot, "x", 1));
}

TEST_F(FileTest, ReadOnlyFileIsRewrittenAndDeleted) {
    Put(u"locked.bin", "original content");
    ASSERT_TRUE(FileSystem::SetReadOnly(At(u"locked.bin"), true));
    ASSERT_TRUE(FileSystem::IsReadOnly(At(u"locked.bin")));
    EXPECT_TRUE(FileSystem::WriteFile(At(u"locked.bin"), "new", 3));
    EXPECT_EQ(Get(u"locked.bin"), "new");
    EXPECT_FALSE(FileSystem::IsReadOnly(At(u"locked.bin")));

    ASSERT_TRUE(FileSystem::SetReadOnly(At(u"locked.bin"), true));
    File file;
    EXPECT_TRUE(file.Open(At(u"locked.bin"), File::_CREATE));
    file.Close();
    EXPECT_FALSE(FileSystem::IsReadOnly(At(u"locked.bin")));

    ASSERT_TRUE(FileSystem::SetReadOnly(At(u"locked.bin"), true));
    EXPECT_TRUE(FileSystem::DeleteFile(At(u"locked.bin")));
    EXPECT_FALSE(FileSystem::IsFile(At(u"locked.bin")));
    EXPECT_FALSE(FileSystem::DeleteFile(At(u"locked.bin")));
    EXPECT_FALSE(FileSystem::DeleteFile(mRoot));
}

TEST_F(FileTest, CreateDirectories) {
    Put(u"plain.txt", "x");
    CurrentDirectoryGuard guard;
    FileSystem::ChangeDirectory(mRoot);
    struct Case {
        const char16_t* path;
        bool result;
        const char16_t* exists;  // a directory that must exist afterwards, or null
    };
    const Case cases[] = {
        {u"a\\b\\c", true, u"a\\b\\c"},
        {u"m/n\\o", true, u"m\\n\\o"},
        {u"a\\b", true, u"a\\b"},
        {u".", true, nullptr},
        {u"C:", true, nullptr},
        // The loop makes the last level; the final call then finds it made.
        {u"t\\u\\", false, u"t\\u"},
        {u"plain.txt\\sub", false, nullptr},
        {u"", false, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.path));
        EXPECT_EQ(FileSystem::CreateDirectories(c.path), c.result);
        if (c.exists != nullptr) {
            EXPECT_TRUE(FileSystem::IsDirectory(At(c.exists)));
        }
    }
    EXPECT_TRUE(FileSystem::IsFile(At(u"plain.txt")));
    Reported made;
    FileSystem::ListDirectories(mRoot, Collect, &made, &made.expectedUser);
    EXPECT_EQ(Sorted(made.names), (std::vector<std::u16string>{u"a", u"m", u"t"}));
}

TEST_F(FileTest, ChangeDirectoryMakesThePathAndReturnsThePrevious) {
    CurrentDirectoryGuard guard;
    WString before = FileSystem::CurrentDirectory();
    ASSERT_FALSE(before.IsEmpty());
    EXPECT_EQ(FileSystem::ChangeDirectory(At(u"x\\y")), before);
    EXPECT_TRUE(FileSystem::IsDirectory(At(u"x\\y")));
    ASSERT_TRUE(FileSystem::WriteFile(u"relative.bin", "r", 1));
    EXPECT_EQ(Get(u"x\\y\\relative.bin"), "r");
    WString inside = FileSystem::CurrentDirectory();
    EXPECT_EQ(FileSystem::ChangeDirectory(before), inside);
    EXPECT_EQ(FileSystem::CurrentDirectory(), before);
}

TEST_F(FileTest, CopyAndMoveRefuseSourcesThatAreNotFiles) {
    ASSERT_TRUE(FileSystem::CreateDirectories(At(u"folder")));
    using Operation = bool (*)(const char16_t*, const char16_t*);
    const Operation operations[] = {FileSystem::CopyFile, FileSystem::MoveFile};
    for (Operation operation : operations) {
        for (const char16_t* source : {u"folder", u"missing.bin"}) {
            SCOPED_TRACE(Narrow(source));
            EXPECT_FALSE(operation(At(source), At(u"out\\target.bin")));
            EXPECT_FALSE(FileSystem::IsDirectory(At(u"out")));
        }
    }
    EXPECT_TRUE(FileSystem::IsDirectory(At(u"folder")));
}

TEST_F(FileTest, CopyAndMoveMakeFoldersAndReplaceTargets) {
    struct Case {
        const char16_t* label;
        bool (*operation)(const char16_t*, const char16_t*);
        bool sourceKept;
    };
    const Case cases[] = {
        {u"copy", FileSystem::CopyFile, true},
        {u"move", FileSystem::MoveFile, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.label));
        WString folder = At(c.label);
        WString source = Format(u"%ls\\source.bin", folder.Text());
        WString existing = Format(u"%ls\\existing.bin", folder.Text());
        WString fresh = Format(u"%ls\\made\\for\\it.bin", folder.Text());
        ASSERT_TRUE(FileSystem::WriteFile(existing, "stale and longer", 16));
        for (const WString* target : {&existing, &fresh}) {
            ASSERT_TRUE(FileSystem::WriteFile(source, "fresh", 5));
            EXPECT_TRUE(c.operation(source, *target));
            EXPECT_EQ(ReadBytes(*target), "fresh");
            EXPECT_EQ(FileSystem::IsFile(source), c.sourceKept);
        }
    }
}

TEST_F(FileTest, CopyOntoItselfKeepsTheContent) {
    Put(u"same.bin", "content");
    FileSystem::CopyFile(At(u"same.bin"), At(u"same.bin"));
    EXPECT_EQ(Get(u"same.bin"), "content");
}

TEST_F(FileTest, SameContent) {
    // Longer than two compare blocks, so later blocks are compared too.
    std::string big(2 * 65536 + 17, '\0');
    for (size_t i = 0; i < big.size(); i++)
        big[i] = char(i * 7 + i / 251);
    std::string lastDiffers = big;
    lastDiffers.back() ^= 1;
    std::string secondBlockDiffers = big;
    secondBlockDiffers[65536 + 3] ^= 1;
    struct Case {
        std::string a;
        std::string b;
        bool same;
    };
    const Case cases[] = {
        {"", "", true},
        {"abc", "abc", true},
        {"abc", "abd", false},
        {"abc", "abcd", false},
        {"", "a", false},
        {big, big, true},
        {big, lastDiffers, false},
        {big, secondBlockDiffers, false},
    };
    int index = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(index++);
        Put(u"a.bin", c.a);
        Put(u"b.bin", c.b);
        EXPECT_EQ(FileSystem::SameContent(At(u"a.bin"), At(u"b.bin")), c.same);
        EXPECT_EQ(FileSystem::SameContent(At(u"b.bin"), At(u"a.bin")), c.same);
    }
    EXPECT_FALSE(FileSystem::SameContent(At(u"a.bin"), At(u"missing.bin")));
    EXPECT_FALSE(FileSystem::SameContent(At(u"missing.bin"), At(u"missing.bin")));
    EXPECT_FALSE(FileSystem::SameContent(mRoot, mRoot));
}

TEST_F(FileTest, FreeSpaceOfAMissingFolderLeavesNothingBehind) {
    EXPECT_GT(FileSystem::FreeSpace(mRoot), 0u);
    for (const char16_t* missing : {u"not\\yet\\there", u"q/r\\"}) {
        SCOPED_TRACE(Narrow(missing));
        EXPECT_GT(FileSystem::FreeSpace(At(missing)), 0u);
        Reported left;
        FileSystem::ListDirectories(mRoot, Collect, &left, &left.expectedUser);
        EXPECT_TRUE(left.names.empty());
    }
    // Below a file no folder can be made; the file stays as it was.
    Put(u"plain.txt", "x");
    EXPECT_EQ(FileSystem::FreeSpace(At(u"plain.txt\\sub")), 0u);
    EXPECT_EQ(Get(u"plain.txt"), "x");
}

TEST_F(FileTest, WalkReportsRelativeNamesLevelByLevel) {
    for (const char16_t* name : {u"top1.txt", u"top2.txt", u"sub\\a.txt", u"sub\\deep\\b.txt", u"sub\\deep\\c.txt",
                                 u"sub\\deep\\deeper\\d.txt", u"sub\\z.txt", u"other\\e.txt"})
        Put(name, "x");
    ASSERT_TRUE(FileSystem::CreateDirectories(At(u"empty")));
    const std::vector<std::u16string> everything = {u"other\\e.txt",     u"sub\\a.txt",
                                                    u"sub\\deep\\b.txt", u"sub\\deep\\c.txt",
                                                    u"sub\\deep\\deeper\\d.txt", u"sub\\z.txt",
                                                    u"top1.txt",         u"top2.txt"};

    Reported top;
    EXPECT_EQ(FileSystem::Walk(mRoot, false, Collect, &top, &top.expectedUser), 2);
    EXPECT_EQ(Sorted(top.names), (std::vector<std::u16string>{u"top1.txt", u"top2.txt"}));

    // Trailing separators of the root make no difference.
    for (const WString& root : {mRoot, At(u""), Format(u"%ls//", mRoot.Text())}) {
        SCOPED_TRACE(Show(root));
        Reported all;
        EXPECT_EQ(FileSystem::Walk(root, true, Collect, &all, &all.expectedUser), int(everything.size()));
        ASSERT_EQ(Sorted(all.names), everything);
        const std::vector<std::u16string>& order = all.names;
        for (size_t i = 0; i < order.size(); i++) {
            std::u16string level = DirectoryPart(order[i]);
            for (size_t j = 0; j < order.size(); j++) {
                // A level's own files come before anything below it...
                if (IsBelow(DirectoryPart(order[j]), level)) {
                    EXPECT_LT(i, j) << Narrow(order[i]) << " / " << Narrow(order[j]);
                }
            }
        }
        // ...and one subdirectory is finished before the next begins.
        for (const std::u16string subtree : {u"sub", u"sub\\deep", u"other"}) {
            size_t first = order.size();
            size_t last = 0;
            size_t inside = 0;
            for (size_t i = 0; i < order.size(); i++) {
                if (DirectoryPart(order[i]) == subtree || IsBelow(DirectoryPart(order[i]), subtree)) {
                    first = std::min(first, i);
                    last = std::max(last, i);
                    inside++;
                }
            }
            EXPECT_EQ(last - first + 1, inside) << Narrow(subtree);
        }
    }

    Reported folders;
    EXPECT_EQ(FileSystem::ListDirectories(At(u"\\"), Collect, &folders, &folders.expectedUser), 3);
    EXPECT_EQ(Sorted(folders.names), (std::vector<std::u16string>{u"empty", u"other", u"sub"}));

    Reported none;
    EXPECT_EQ(FileSystem::Walk(At(u"missing"), true, Collect, &none, &none.expectedUser), 0);
    EXPECT_EQ(FileSystem::ListDirectories(At(u"top1.txt"), Collect, &none, &none.expectedUser), 0);
    EXPECT_TRUE(none.names.empty());
}

TEST_F(FileTest, RemoveDirectoryTree) {
    for (const char16_t* name : {u"tree\\a.txt", u"tree\\sub\\b.txt", u"tree\\sub\\deep\\c.txt", u"keep.txt"})
        Put(name, "x");
    ASSERT_TRUE(FileSystem::SetReadOnly(At(u"tree\\sub\\deep\\c.txt"), true));
    ASSERT_TRUE(FileSystem::CreateDirectories(At(u"tree\\empty")));
    EXPECT_TRUE(FileSystem::RemoveDirectoryTree(At(u"tree\\")));
    EXPECT_FALSE(FileSystem::IsDirectory(At(u"tree")));
    EXPECT_EQ(Get(u"keep.txt"), "x");

    EXPECT_FALSE(FileSystem::RemoveDirectoryTree(u""));
    EXPECT_FALSE(FileSystem::RemoveDirectoryTree(At(u"tree")));
    EXPECT_FALSE(FileSystem::RemoveDirectoryTree(At(u"keep.txt")));
    EXPECT_TRUE(FileSystem::IsFile(At(u"keep.txt")));
}

// Links inside the tree, and a tree path that is itself a link, lead to a folder outside:
// the links go, the folder they lead to keeps every file.
TEST_F(FileTest, RemoveDirectoryTreeRemovesLinksWithoutFollowingThem) {
    Put(u"outside\\precious.txt", "keep");
    Put(u"outside\\inner\\deep.txt", "keep");
    Put(u"tree\\own.txt", "x");
    Put(u"tree\\sub\\own.txt", "x");
    if (!VoluxTest::MakeDirectoryLink(At(u"tree\\link"), At(u"outside")))
        GTEST_SKIP() << "this system cannot make a directory link here";
    ASSERT_TRUE(VoluxTest::MakeDirectoryLink(At(u"tree\\sub\\link"), At(u"outside\\inner")));
    ASSERT_TRUE(VoluxTest::MakeDirectoryLink(At(u"top"), At(u"outside")));
    ASSERT_TRUE(VoluxTest::MakeDirectoryLink(At(u"top2"), At(u"outside")));
    ASSERT_EQ(Get(u"tree\\link\\precious.txt"), "keep");

    bool removes = VoluxTest::EngineRemovesLinks();
    EXPECT_EQ(FileSystem::RemoveDirectoryTree(At(u"tree")), removes);
    EXPECT_EQ(FileSystem::RemoveDirectoryTree(At(u"top")), removes);
    EXPECT_EQ(FileSystem::RemoveDirectoryTree(At(u"top2\\")), removes);
    EXPECT_EQ(Get(u"outside\\precious.txt"), "keep");
    EXPECT_EQ(Get(u"outside\\inner\\deep.txt"), "keep");
    EXPECT_FALSE(FileSystem::IsFile(At(u"tree\\own.txt")));
    if (!removes) {
        // WINE: the links stay behind (see RemoveLink); with them gone the tree goes too.
        for (const char16_t* link : {u"tree\\link", u"tree\\sub\\link", u"top", u"top2"})
            VoluxTest::RemoveDirectoryLink(At(link));
        EXPECT_TRUE(FileSystem::RemoveDirectoryTree(At(u"tree")));
    }
    for (const char16_t* gone : {u"tree", u"top", u"top2"})
        EXPECT_FALSE(FileSystem::IsDirectory(At(gone))) << Narrow(gone);
}

// RemoveDirectoryTree refuses what this calls a root before it lists anything. It is not
// handed a real root here: a fault would empty the machine's disk.
TEST_F(FileTest, VolumeRootsAreRecognised) {
    WString up = FileSystem::TemporaryFolder();
    for (int i = 0; i < 12; i++)
        up = Format(u"%ls\\..", up.Text());
    struct Case {
        WString path;
        bool root;
    } cases[] = {
        {u"/", true},
        {u"\\", true},
        {u"C:\\", true},
        {u"c:/", true},
        {u"\\\\server\\share", true},
        {u"\\\\server\\share\\", true},
        {u"\\\\?\\D:\\", true},
        {u"\\\\?\\UNC\\server\\share\\", true},
        {up, true},
        {u"\\\\server\\share\\folder", false},
        {u"\\\\?\\D:\\folder", false},
        {mRoot, false},
        {FileSystem::TemporaryFolder(), false},
        {u"", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FileSystem::IsVolumeRoot(c.path), c.root) << Show(c.path);
}

TEST_F(FileTest, TemporaryNamesAreDistinctCreatedFiles) {
    WString first = FileSystem::TemporaryName(mRoot, u"abc~~~");
    WString second = FileSystem::TemporaryName(mRoot, u"abc~~~");
    ASSERT_FALSE(first.IsEmpty());
    EXPECT_NE(first, second);
    for (const WString* name : {&first, &second}) {
        SCOPED_TRACE(Show(*name));
        EXPECT_TRUE(FileSystem::IsFile(*name));
        EXPECT_TRUE(name->StartsWith(At(u"abc")));
        EXPECT_FALSE(name->StartsWith(At(u"abc~")));
    }
    EXPECT_TRUE(FileSystem::TemporaryName(At(u"missing"), u"abc").IsEmpty());
}

TEST(FileSystem, TemporaryFolderExistsWithoutATrailingSeparator) {
    WString folder = FileSystem::TemporaryFolder();
    ASSERT_FALSE(folder.IsEmpty());
    EXPECT_TRUE(FileSystem::IsDirectory(folder)) << Show(folder);
    char16_t last = folder[folder.Length() - 1];
    EXPECT_TRUE(last != u'\\' && last != u'/') << Show(folder);
}

TEST(FileSystem, ProgramPathNamesTheRunningProgram) {
    WString program = FileSystem::ProgramPath();
    EXPECT_TRUE(FileSystem::IsFile(program)) << Show(program);
    EXPECT_GE(program.FindText(u"engine_tests"), 0) << Show(program);
}

TEST(FileSystem, LoadResourceRefusesEmptyAndUnknownNames) {
    ByteBuffer buffer;
    EXPECT_FALSE(FileSystem::LoadResource(nullptr, u"", buffer));
    EXPECT_FALSE(FileSystem::LoadResource(nullptr, nullptr, buffer));
    EXPECT_FALSE(FileSystem::LoadResource(nullptr, u"NO_SUCH_RESOURCE", buffer));
}
