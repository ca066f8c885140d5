// One dynamic library loaded so that its own dependencies are found beside it.
// Windows only; nothing here logs.
#pragma once

#include "Common/Base.h"

namespace Volux {

class Library {
public:
    Library() = default;
    ~Library() { Unload(); }
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;

    // Unloads what is held first. A path with a folder part needs that folder to exist; the
    // folder is made current while the library loads (so the system looks for its
    // dependencies there) and the previous current folder is restored afterwards.
    bool Load(const char16_t* path);
    void* FindEntry(const char* name) const;
    void Unload();

    bool IsLoaded() const { return mModule != nullptr; }
    void* Handle() const { return mModule; }

private:
    void* mModule = nullptr;
};

} // namespace Volux
