#include "launcher/LocalConfig.h"

#include "Common/ByteBuffer.h"
#include "Common/StringFormatter.h"
#include "Common/StringReader.h"
#include "Platform/File.h"

namespace Volux {

WString UserDataFolder() {
    WString profile = FileSystem::SpecialFolderPath(FileSystem::_PROFILE);
    return Format(u"%ls\\volux", profile.Text());
}

LocalConfig ParseLocalConfig(const char16_t* text) {
    WStringPtr content(text);
    LocalConfig config;
    config.fileLogging = content.FindText(u"mclog", true) >= 0;
    config.autoUpgrade = content.FindText(u"noautoupgrade", true) < 0;
    return config;
}

LocalConfig ReadLocalConfig(const char16_t* path) {
    File file;
    if (!file.Open(path, File::_READ))
        return LocalConfig();
    // Checked before anything is allocated: anyone may drop a file here.
    _qword size = file.Size();
    if (size > _MAX_LOCAL_CONFIG_BYTES)
        return LocalConfig();
    ByteBuffer bytes;
    if (size == 0 || !bytes.Allocate(_dword(size)) || !file.Read(bytes.data, _dword(size)))
        return LocalConfig();
    // The reader detects ANSI, UTF-16LE or UTF-8, so a switch file from any editor counts.
    StringReader reader;
    if (!reader.Attach(bytes.data, bytes.size, false))
        return LocalConfig();
    WString text;
    reader.ReadRest(text);
    return ParseLocalConfig(text);
}

} // namespace Volux
