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
    ByteBuffer bytes;
    if (!FileSystem::ReadFile(path, bytes))
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
