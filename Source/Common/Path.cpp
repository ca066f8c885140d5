// Path functions over Windows path rules: '\' separates, '/' is accepted and converted.
#include "Common/WString.h"

namespace Volux {
namespace Path {

namespace {
inline bool IsLetter(char16_t c) { return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'); }

// Index of the first (or last) occurrence of ch, -1 if none.
int Locate(const char16_t* text, char16_t ch, bool last) {
    return last ? Text::FindLastChar(text, ch) : Text::FindChar(text, ch);
}

char16_t* CopyBounded(char16_t* buffer, int size, const char16_t* from, int count) {
    if (buffer == nullptr || size <= 0)
        return buffer;
    if (count > size - 1)
        count = size - 1;
    return Text::CopyText(buffer, from, count < 0 ? 0 : count);
}
} // namespace

bool IsAbsolutePath(const char16_t* text) {
    text = NonNull(text);
    if (text[0] == u'\\' && text[1] == u'\\')
        return true;
    return IsLetter(text[0]) && text[1] == u':';
}

bool ContainsSeparator(const char16_t* text) { return Text::FindChar(text, u'\\') >= 0; }

char16_t* TrimPath(char16_t* text) {
    if (text == nullptr)
        return const_cast<char16_t*>(_EMPTY_TEXT);
    Text::ReplaceChar(text, u'/', u'\\');
    int length = Text::Length(text);
    while (length > 0 && text[length - 1] == u'\\')
        text[--length] = 0;
    if (text[0] == u'.' && text[1] == u'\\')
        return text + 2;
    return text;
}

char16_t* NormalizePath(char16_t* text) {
    if (text == nullptr)
        return const_cast<char16_t*>(_EMPTY_TEXT);
    static const char16_t _HTTP[] = u"http://";
    if (Text::StartsWith(text, _HTTP)) {
        char16_t* rest = text + 7;
        for (char16_t* at = rest; *at != 0; at++)
            if (*at == u'\\' || *at == u'/' || *at == u':')
                *at = u'#';
        return rest;
    }
    Text::ReplaceChar(text, u'/', u'\\');
    if (text[0] == u'.')
        return text;
    // One pass that writes the result over the text: at each separator, the output so far is
    // checked for a trailing ".." or "." element, so repeated ".." collapse one element each.
    int length = Text::Length(text);
    int out = 0;
    for (int i = 0; i < length; i++) {
        char16_t c = text[i];
        if (c == u'\\') {
            bool elementStart2 = out == 2 || (out > 2 && text[out - 3] == u'\\');
            if (out >= 2 && text[out - 1] == u'.' && text[out - 2] == u'.' && elementStart2) {
                // Drop "..", this separator and the previous element; its leading separator stays.
                int before = out - 3;
                int k = before - 1;
                while (k >= 0 && text[k] != u'\\')
                    k--;
                out = before < 0 ? 0 : k + 1;
                continue;
            }
            bool elementStart1 = out == 1 || (out > 1 && text[out - 2] == u'\\');
            if (out >= 1 && text[out - 1] == u'.' && elementStart1) {
                out--;
                continue;
            }
        }
        text[out++] = c;
    }
    text[out] = 0;
    return text;
}

WString JoinPath(const char16_t* directory, const char16_t* name) {
    directory = NonNull(directory);
    name = NonNull(name);
    WString result;
    bool plainDirectory = directory[0] == 0 || (directory[0] == u'.' && directory[1] == 0);
    if (!IsAbsolutePath(name) && !plainDirectory) {
        result.Assign(directory);
        result.AppendChar(u'\\');
        result.Append(name);
    } else {
        result.Assign(name);
    }
    result.ToLower();
    if (result.capacity == 0 && result.length == 0)
        return result;
    char16_t* start = NormalizePath(result.text);
    result.length = _dword(Text::Length(result.text));
    if (start != result.text)
        return WString(start);
    return result;
}

WString LowerPath(const char16_t* path) {
    WString result(path);
    result.ToLower();
    if (result.length == 0)
        return result;
    char16_t* start = NormalizePath(result.text);
    result.length = _dword(Text::Length(result.text));
    if (start != result.text)
        return WString(start);
    return result;
}

WString FileTitle(const char16_t* path) {
    path = NonNull(path);
    int dot = Text::FindLastChar(path, u'.');
    return dot < 0 ? WString(path) : WString(path, dot);
}

WString FileExtension(const char16_t* path) {
    path = NonNull(path);
    int dot = Text::FindLastChar(path, u'.');
    return dot < 0 ? WString() : WString(path + dot + 1);
}

WString DirectoryOf(const char16_t* path, bool last) {
    path = NonNull(path);
    int at = Locate(path, u'\\', last);
    if (at < 0)
        at = Locate(path, u'/', last);
    if (at < 0)
        at = Locate(path, u':', last);
    return at < 0 ? WString() : WString(path, at);
}

WStringPtr FileNameOf(const char16_t* path) {
    path = NonNull(path);
    int at = Text::FindLastChar(path, u'\\');
    return WStringPtr(at < 0 ? path : path + at + 1);
}

WString NameOf(const char16_t* path, bool keepDirectory, bool keepExtension) {
    path = NonNull(path);
    const char16_t* kept = path;
    if (!keepDirectory) {
        int at = Text::FindLastChar(path, u'\\');
        if (at < 0)
            at = Text::FindLastChar(path, u'/');
        if (at < 0)
            at = Text::FindLastChar(path, u':');
        kept = path + at + 1;
    }
    if (!keepExtension) {
        int dot = Text::FindLastChar(path, u'.');
        if (dot >= 0 && path + dot >= kept)
            return WString(kept, int(path + dot - kept));
    }
    return WString(kept);
}

char16_t* FileTitle(char16_t* buffer, int size, const char16_t* path) {
    path = NonNull(path);
    int dot = Text::FindLastChar(path, u'.');
    return CopyBounded(buffer, size, path, dot < 0 ? Text::Length(path) : dot);
}

char16_t* FileExtension(char16_t* buffer, int size, const char16_t* path) {
    path = NonNull(path);
    int dot = Text::FindLastChar(path, u'.');
    const char16_t* from = dot < 0 ? _EMPTY_TEXT : path + dot + 1;
    return CopyBounded(buffer, size, from, Text::Length(from));
}

char16_t* DirectoryOf(char16_t* buffer, int size, const char16_t* path, bool last) {
    path = NonNull(path);
    int at = Locate(path, u'\\', last);
    if (at < 0)
        at = Locate(path, u'/', last);
    if (at < 0)
        at = Locate(path, u':', last);
    return CopyBounded(buffer, size, path, at < 0 ? 0 : at);
}

} // namespace Path
} // namespace Volux
