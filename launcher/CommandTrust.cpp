#include "launcher/CommandTrust.h"

#include "launcher/PageEvents.h"
#include "Platform/File.h"

namespace Volux {

namespace {

bool IsSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

// A ".." part anywhere: the text is refused before it is resolved, so no spelling of it can
// climb out of the install folder.
bool HasParentPart(const char16_t* path) {
    int start = 0;
    for (int i = 0;; i++) {
        const char16_t c = path[i];
        if (c == 0 || IsSeparator(c)) {
            // Windows drops trailing dots and spaces of a part: ".. " and "..." climb too.
            int dots = 0;
            bool dotsAndSpaces = true;
            for (int k = start; k < i; k++) {
                dots += path[k] == u'.' ? 1 : 0;
                dotsAndSpaces = dotsAndSpaces && (path[k] == u'.' || path[k] == u' ');
            }
            if (dotsAndSpaces && dots >= 2)
                return true;
            if (c == 0)
                return false;
            start = i + 1;
        }
    }
}

// The folder as one spelling: back slashes, no trailing separator.
WString NormalFolder(const char16_t* folder) {
    WString text(folder);
    text.ReplaceAll(u"/", u"\\");
    while (text.Length() > 3 && text[text.Length() - 1] == u'\\')
        text.Remove(text.Length() - 1, 1);
    return text;
}

} // namespace

bool IsWebAddress(const char16_t* address) {
    return address != nullptr && (Text::StartsWith(address, u"http://", false) || Text::StartsWith(address, u"https://", false));
}

bool IsTrustedPageAddress(const LauncherState& state, const char16_t* address) {
    if (address == nullptr || address[0] == 0)
        return false;
    return IsFrameAddress(state, address) || IsGameAddress(state, address);
}

bool IsTrustedCommandSource(const LauncherState& state, const CommandSender& sender) {
    if (sender.crossThread)
        return false;
    switch (sender.kind) {
    case _SENDER_PLUGIN:
        return true;
    case _SENDER_PAGE:
        return sender.gamePage || IsTrustedPageAddress(state, sender.address);
    default:
        return false;
    }
}

bool IsLauncherWord(const LauncherState& state, const char16_t* word, const CommandArguments* arguments) {
    const char16_t* text = NonNull(word);
    if (state.kickFunction == text)
        return true;
    static const char16_t* const sWords[] = {u"refresh", u"launch", u"openvideo", u"qqpay", u"qqpay2"};
    for (const char16_t* known : sWords) {
        if (Text::Equals(text, known))
            return true;
    }
    if (!Text::Equals(text, u"button") || arguments == nullptr || CommandArgumentCount(arguments) < 2)
        return false;
    WString name;
    WString action;
    if (!CommandText(*arguments, 0, name) || !CommandText(*arguments, 1, action))
        return true;  // refused as too long either way
    return name == u"close" && (action == u"click" || action == u"reg" || action == u"hide");
}

int ClassifyLaunchTarget(const char16_t* target, const char16_t* installFolder, WString& resolved) {
    resolved = u"";
    if (target == nullptr || target[0] == 0)
        return _LAUNCH_REFUSED;
    if (IsWebAddress(target)) {
        // The address goes to the shell as one parameter; a quotation mark or a line break
        // has no place in it.
        for (int i = 0; target[i] != 0; i++) {
            if (target[i] == u'"' || target[i] < 0x20)
                return _LAUNCH_REFUSED;
        }
        resolved = target;
        return _LAUNCH_WEB;
    }
    if (installFolder == nullptr || installFolder[0] == 0)
        return _LAUNCH_REFUSED;
    for (int i = 0; target[i] != 0; i++) {
        const char16_t c = target[i];
        if (c == u'"' || c < 0x20 || c == u'*' || c == u'?' || c == u'<' || c == u'>' || c == u'|')
            return _LAUNCH_REFUSED;
    }
    // Device, network and long-path spellings, and anything after a drive colon that is not
    // the drive's own (alternate streams).
    if (IsSeparator(target[0]) && IsSeparator(target[1]))
        return _LAUNCH_REFUSED;
    const int colon = Text::FindChar(target, u':');
    if (colon >= 0 && (colon != 1 || Text::FindChar(target + 2, u':') >= 0))
        return _LAUNCH_REFUSED;
    if (HasParentPart(target))
        return _LAUNCH_REFUSED;
    const WString folder = NormalFolder(installFolder);
    WString path;
    if (colon == 1)
        path = NormalFolder(target);
    else if (IsSeparator(target[0]))
        return _LAUNCH_REFUSED;  // rooted on the current drive: not relative to the install folder
    else
        path = NormalFolder((folder + u"\\" + target).Text());
    const bool inside = path.Compare(folder, false) == 0 ||
                        (Text::StartsWith(path, folder, false) && path[folder.Length()] == u'\\');
    if (!inside || !FileSystem::IsDirectory(path))
        return _LAUNCH_REFUSED;
    resolved = path;
    return _LAUNCH_FOLDER;
}

} // namespace Volux
