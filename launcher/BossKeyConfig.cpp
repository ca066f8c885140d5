#include "launcher/BossKeyConfig.h"

#include "Common/Log.h"
#include "Common/StringFormatter.h"
#include "Platform/File.h"

namespace Volux {

namespace {

_dword LoadLittle(const _byte* p) {
    return _dword(p[0]) | (_dword(p[1]) << 8) | (_dword(p[2]) << 16) | (_dword(p[3]) << 24);
}

void StoreLittle(_byte* p, _dword value) {
    for (int i = 0; i < 4; i++)
        p[i] = _byte(value >> (8 * i));
}

} // namespace

BossKeyConfig ReadBossKeyConfig(const char16_t* folder) {
    BossKeyConfig config;
    File file;
    _byte bytes[_BOSS_KEY_FILE_SIZE];
    _dword count = 0;
    if (!file.Open(Format(u"%ls\\%ls", NonNull(folder), _BOSS_KEY_FILE), File::_READ) ||
        !file.Read(bytes, _BOSS_KEY_FILE_SIZE, &count) || count < _BOSS_KEY_FILE_SIZE)
        return config;
    config.hotkey = int(LoadLittle(bytes));
    config.enabled = LoadLittle(bytes + 4) != 0;
    return config;
}

bool WriteBossKeyConfig(const char16_t* folder, const BossKeyConfig& config) {
    WString path = Format(u"%ls\\%ls", NonNull(folder), _BOSS_KEY_FILE);
    _byte bytes[_BOSS_KEY_FILE_SIZE];
    StoreLittle(bytes, _dword(config.hotkey));
    StoreLittle(bytes + 4, config.enabled ? 1 : 0);
    // Deleted first so a longer file left by someone else does not keep its tail.
    if (FileSystem::IsFile(path))
        FileSystem::DeleteFile(path);
    File file;
    if (!file.Open(path, File::_CREATE) || !file.Write(bytes, _BOSS_KEY_FILE_SIZE)) {
        PrintBoth(u"[MC] Write boss key settings fail: %ls", path.Text());
        return false;
    }
    return true;
}

} // namespace Volux
