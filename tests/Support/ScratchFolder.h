// A fresh folder under the system's temporary folder, removed with everything in it when the
// object goes; for tests that work on real files.
#pragma once

#include <string>

#include "Common/StringFormatter.h"
#include "Platform/File.h"

namespace VoluxTest {

class ScratchFolder {
public:
    ScratchFolder() {
        // The temporary name is a file the system created to reserve the name.
        path = Volux::FileSystem::TemporaryName(Volux::FileSystem::TemporaryFolder(), u"vsf");
        Volux::FileSystem::DeleteFile(path);
        Volux::FileSystem::CreateDirectories(path);
    }
    ~ScratchFolder() { Volux::FileSystem::RemoveDirectoryTree(path); }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    bool IsReady() const { return !path.IsEmpty() && Volux::FileSystem::IsDirectory(path); }
    Volux::WString At(const char16_t* relative) const { return Volux::Format(u"%ls\\%ls", path.Text(), relative); }
    // Writes the bytes, making the folders on the way.
    bool Put(const char16_t* relative, const std::string& bytes) const {
        return Volux::FileSystem::WriteFile(At(relative), bytes.data(), Volux::_dword(bytes.size()));
    }
    // The file's bytes; "<missing>" when it cannot be read.
    std::string Get(const char16_t* relative) const {
        Volux::ByteBuffer buffer;
        if (!Volux::FileSystem::ReadFile(At(relative), buffer))
            return "<missing>";
        return std::string(reinterpret_cast<const char*>(buffer.data), buffer.size);
    }

    Volux::WString path;
};

// Restores the current folder on the way out, so a test can change it and still remove its
// scratch folder (the system refuses to remove a current folder).
class CurrentFolderGuard {
public:
    CurrentFolderGuard() : mSaved(Volux::FileSystem::CurrentDirectory()) {}
    ~CurrentFolderGuard() { Volux::FileSystem::ChangeDirectory(mSaved); }
    CurrentFolderGuard(const CurrentFolderGuard&) = delete;
    CurrentFolderGuard& operator=(const CurrentFolderGuard&) = delete;

private:
    Volux::WString mSaved;
};

} // namespace VoluxTest
