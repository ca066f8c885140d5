#include <unistd.h>

#include <string>

#include "Support/DirectoryLink.h"
#include "Support/LogCapture.h"

namespace VoluxTest {

namespace {
std::string NativeOf(const char16_t* path) {
    std::string native = Narrow(path);
    for (char& c : native)
        if (c == '\\')
            c = '/';
    return native;
}
} // namespace

bool MakeDirectoryLink(const char16_t* link, const char16_t* target) {
    return symlink(NativeOf(target).c_str(), NativeOf(link).c_str()) == 0;
}

bool EngineRemovesLinks() { return true; }

void RemoveDirectoryLink(const char16_t* link) { unlink(NativeOf(link).c_str()); }

} // namespace VoluxTest
