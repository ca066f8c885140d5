// qodtool: builds and inspects hash archives for publishers. Run "qodtool --help".
#include <cstdio>
#include <cstring>

#include "Common/Array.h"
#include "Common/EngineContext.h"
#include "Common/Log.h"
#include "Common/Memory.h"
#include "Common/StringEncoding.h"
#include "Common/StringFormatter.h"
#include "Platform/File.h"
#include "Storage/HashArchive.h"
#include "Storage/HashArchiveCheck.h"

using namespace Volux;

namespace {

// Exit codes a build script can test.
enum ExitCode {
    _OK = 0,
    _PROBLEM = 1,   // verify found damage; a resource is missing or already present
    _USAGE = 2,     // wrong command line
    _FAILED = 3,    // a file or archive could not be opened, read or written
};

const char _HELP[] =
    "qodtool - build and inspect hash archives (.qod)\n"
    "\n"
    "usage: qodtool <verb> <archive> [arguments]\n"
    "\n"
    "  create <archive> <folder> [--spare N]\n"
    "      Makes a new archive from every file under the folder; a file's path relative to\n"
    "      the folder is its resource name. N empty slots are left for later additions\n"
    "      (default 64). An existing archive is replaced.\n"
    "  list <archive> [--names <folder>]\n"
    "      One line per resource: its key text, length in bytes, checksum text and whether\n"
    "      it is a compressed block. Archives store no names; with --names, keys of files\n"
    "      under the folder are shown with the file's name.\n"
    "  extract <archive> <name> <file>\n"
    "      Writes one resource (by name or by key text \"<...\") to a file.\n"
    "  extract <archive> --all <folder>\n"
    "      Writes every resource to the folder, each file named by its key (32 hex digits).\n"
    "  add <archive> <name> <file>\n"
    "      Adds the file as a new resource; fails if the name is already there.\n"
    "  replace <archive> <name> <file>\n"
    "      Replaces an existing resource; the old version stays until the new one is stored.\n"
    "  delete <archive> <name>\n"
    "      Removes a resource; its space is reused by later additions.\n"
    "  verify <archive>\n"
    "      Checks every chunk against its header and checksum and the item table against\n"
    "      the chunks: overlaps, chunks past the end, space no item accounts for.\n"
    "  compact <archive> [--spare N]\n"
    "      Rewrites the archive without free or lost space (through \"<archive>.tmp\").\n"
    "\n"
    "exit codes: 0 done, 1 problem found (damage, missing or duplicate resource),\n"
    "            2 wrong command line, 3 a file could not be opened, read or written\n";

void Out(const char16_t* format, ...) {
    char16_t buffer[_FORMAT_BUFFER_CHARS];
    va_list arguments;
    va_start(arguments, format);
    FormatInto(buffer, _FORMAT_BUFFER_CHARS, format, arguments);
    va_end(arguments);
    char* text = WideToAnsi(nullptr, 0, buffer);
    fputs(NonNull(text), stdout);
    MemFree(text);
}

void Err(const char16_t* format, ...) {
    char16_t buffer[_FORMAT_BUFFER_CHARS];
    va_list arguments;
    va_start(arguments, format);
    FormatInto(buffer, _FORMAT_BUFFER_CHARS, format, arguments);
    va_end(arguments);
    char* text = WideToAnsi(nullptr, 0, buffer);
    fprintf(stderr, "qodtool: %s\n", NonNull(text));
    MemFree(text);
}

// Engine log lines go to standard error, so output stays clean for scripts.
int LogToStderr(const char16_t* text, void*, bool lineBreak) {
    char* narrow = WideToAnsi(nullptr, 0, text);
    fputs(NonNull(narrow), stderr);
    if (lineBreak)
        fputc('\n', stderr);
    MemFree(narrow);
    return 1;
}

bool ParseCount(const WString& text, _dword& value) {
    if (text.IsEmpty() || text.Length() > 9)
        return false;
    value = 0;
    for (int i = 0; i < text.Length(); i++) {
        if (text[i] < u'0' || text[i] > u'9')
            return false;
        value = value * 10 + _dword(text[i] - u'0');
    }
    return true;
}

struct FolderFiles {
    Array<WString> names;
};

void CollectFile(const char16_t* relative, void* context, void*) {
    static_cast<FolderFiles*>(context)->names.Append(WString(relative));
}

int Create(const WString& archivePath, const WString& folder, _dword spare) {
    if (!FileSystem::IsDirectory(folder)) {
        Err(u"%ls is not a folder", folder.Text());
        return _FAILED;
    }
    FolderFiles files;
    FileSystem::Walk(folder, true, &CollectFile, &files, nullptr);
    CriticalSection lock;
    HashArchive archive(&lock, u"");
    if (!archive.Create(archivePath, files.names.Count() + spare))
        return _FAILED;
    _qword payload = 0;
    for (const WString& name : files.names) {
        ByteBuffer bytes;
        if (!FileSystem::ReadFile(Format(u"%ls\\%ls", folder.Text(), name.Text()), bytes)) {
            Err(u"cannot read %ls", name.Text());
            return _FAILED;
        }
        if (archive.HasResource(name)) {
            Err(u"%ls has the same key as another file", name.Text());
            return _PROBLEM;
        }
        if (!archive.WriteResource(name, bytes.data, bytes.size, ComputeMd5(bytes.data, bytes.size)))
            return _FAILED;
        payload += bytes.size;
    }
    Out(u"%ls: %u resources, %llu bytes of data, %llu bytes in the archive\n", archivePath.Text(),
        files.names.Count(), payload, archive.FileLength());
    return _OK;
}

struct ListWalk {
    HashArchive* archive;
    Array<WString>* keys;
    Array<WString>* names;
};

bool ListOne(const char16_t* key, void* arg1, void*) {
    ListWalk& walk = *static_cast<ListWalk*>(arg1);
    HashItem item;
    if (!walk.archive->FindItem(key, item))
        return true;
    const char16_t* name = u"";
    for (_dword i = 0; i < walk.keys->Count(); i++)
        if ((*walk.keys)[i] == key)
            name = (*walk.names)[i];
    Out(u"%ls %10u %ls %ls%ls%ls\n", key, item.dataLength, ChecksumText(item.checksum).Text(),
        item.compressed ? u"compressed" : u"plain     ", name[0] ? u" " : u"", name);
    return true;
}

int List(HashArchive& archive, const WString& namesFolder) {
    Array<WString> keys, names;
    if (!namesFolder.IsEmpty()) {
        FolderFiles files;
        FileSystem::Walk(namesFolder, true, &CollectFile, &files, nullptr);
        for (const WString& name : files.names) {
            keys.Append(NameKeyText(ComputeNameKey(name)));
            names.Append(name);
        }
    }
    Out(u"%-33ls %10ls %-32ls %ls\n", u"key", u"length", u"checksum", u"stored");
    ListWalk walk{&archive, &keys, &names};
    int count = archive.Enumerate(&ListOne, &walk, nullptr);
    Out(u"%d resources\n", count);
    return _OK;
}

bool WriteResourceFile(HashArchive& archive, const char16_t* name, const char16_t* path) {
    IDataStream* stream = archive.OpenStream(name);
    if (stream == nullptr)
        return false;
    ByteBuffer bytes;
    bool ok = stream->ReadAll(bytes, false) && FileSystem::WriteFile(path, bytes.data, bytes.size);
    delete stream;
    return ok;
}

struct ExtractWalk {
    HashArchive* archive;
    const WString* folder;
    int failed;
};

bool ExtractOne(const char16_t* key, void* arg1, void*) {
    ExtractWalk& walk = *static_cast<ExtractWalk*>(arg1);
    WString path = Format(u"%ls\\%ls", walk.folder->Text(), key + 1);
    if (!WriteResourceFile(*walk.archive, key, path)) {
        Err(u"cannot write %ls", path.Text());
        walk.failed++;
    }
    return true;
}

int Verify(const WString& path) {
    ArchiveCheckReport report;
    bool readable = CheckHashArchive(path, report);
    for (const WString& problem : report.problems)
        Out(u"problem: %ls\n", problem.Text());
    if (!readable)
        return _FAILED;
    Out(u"%ls: %llu bytes, %u blocks, %u slots, %u resources, %u deletion markers\n", path.Text(), report.fileLength,
        report.blocks, report.items, report.resources, report.markers);
    Out(u"free: %u regions, %llu bytes; lost: %llu bytes%ls\n", report.freeRegions, report.freeBytes, report.lostBytes,
        report.lostBytes > 0 ? u" (compact recovers them)" : u"");
    Out(u"%ls\n", report.problems.Count() == 0 ? u"archive is sound" : u"archive is damaged");
    return report.problems.Count() == 0 ? _OK : _PROBLEM;
}

int Compact(const WString& path, _dword spare) {
    WString temporary = Format(u"%ls.tmp", path.Text());
    if (!CompactHashArchive(path, temporary, spare)) {
        FileSystem::DeleteFile(temporary);
        Err(u"cannot compact %ls", path.Text());
        return _FAILED;
    }
    _qword before = 0, after = 0;
    {
        File a, b;
        if (a.Open(path, File::_READ))
            before = a.Size();
        if (b.Open(temporary, File::_READ))
            after = b.Size();
    }
    if (!FileSystem::DeleteFile(path) || !FileSystem::MoveFile(temporary, path)) {
        Err(u"cannot replace %ls (the compacted copy is %ls)", path.Text(), temporary.Text());
        return _FAILED;
    }
    Out(u"%ls: %llu bytes, was %llu\n", path.Text(), after, before);
    return _OK;
}

int Run(Array<WString>& args) {
    if (args.Count() == 0 || args[0] == u"--help" || args[0] == u"-h" || args[0] == u"help") {
        fputs(_HELP, stdout);
        return args.Count() == 0 ? _USAGE : _OK;
    }
    const WString verb = args[0];
    if (args.Count() < 2) {
        Err(u"%ls needs an archive (see qodtool --help)", verb.Text());
        return _USAGE;
    }
    const WString archivePath = args[1];
    _dword spare = 64;
    WString namesFolder;
    bool all = false;
    Array<WString> rest;
    for (_dword i = 2; i < args.Count(); i++) {
        if (args[i] == u"--spare" && i + 1 < args.Count()) {
            if (!ParseCount(args[++i], spare)) {
                Err(u"--spare needs a whole number");
                return _USAGE;
            }
        } else if (args[i] == u"--names" && i + 1 < args.Count()) {
            namesFolder = args[++i];
        } else if (args[i] == u"--all") {
            all = true;
        } else {
            rest.Append(args[i]);
        }
    }
    auto needs = [&](_dword n) {
        if (rest.Count() == n)
            return true;
        Err(u"%ls: wrong number of arguments (see qodtool --help)", verb.Text());
        return false;
    };

    if (verb == u"create")
        return needs(1) ? Create(archivePath, rest[0], spare) : _USAGE;
    if (verb == u"verify")
        return needs(0) ? Verify(archivePath) : _USAGE;
    if (verb == u"compact")
        return needs(0) ? Compact(archivePath, spare) : _USAGE;

    bool writes = verb == u"add" || verb == u"replace" || verb == u"delete";
    if (!writes && verb != u"list" && verb != u"extract") {
        Err(u"unknown verb %ls (see qodtool --help)", verb.Text());
        return _USAGE;
    }
    if ((verb == u"list" && !needs(0)) || (verb == u"delete" && !needs(1)) ||
        ((verb == u"add" || verb == u"replace") && !needs(2)) || (verb == u"extract" && !needs(all ? 1 : 2)))
        return _USAGE;
    CriticalSection lock;
    HashArchive archive(&lock, u"");
    if (!archive.Open(archivePath, writes, 0))
        return _FAILED;
    if (verb == u"list")
        return List(archive, namesFolder);
    if (verb == u"extract") {
        if (all) {
            if (!FileSystem::CreateDirectories(rest[0]))
                return _FAILED;
            ExtractWalk walk{&archive, &rest[0], 0};
            int count = archive.Enumerate(&ExtractOne, &walk, nullptr);
            Out(u"%d resources written to %ls\n", count - walk.failed, rest[0].Text());
            return walk.failed == 0 ? _OK : _FAILED;
        }
        if (!archive.HasResource(rest[0])) {
            Err(u"%ls is not in %ls", rest[0].Text(), archivePath.Text());
            return _PROBLEM;
        }
        return WriteResourceFile(archive, rest[0], rest[1]) ? _OK : _FAILED;
    }
    if (verb == u"delete") {
        if (!archive.DeleteResource(rest[0])) {
            Err(u"%ls is not in %ls", rest[0].Text(), archivePath.Text());
            return _PROBLEM;
        }
        return _OK;
    }
    bool present = archive.HasResource(rest[0]);
    if (verb == u"add" && present) {
        Err(u"%ls is already in %ls (use replace)", rest[0].Text(), archivePath.Text());
        return _PROBLEM;
    }
    if (verb == u"replace" && !present) {
        Err(u"%ls is not in %ls (use add)", rest[0].Text(), archivePath.Text());
        return _PROBLEM;
    }
    ByteBuffer bytes;
    if (!FileSystem::ReadFile(rest[1], bytes)) {
        Err(u"cannot read %ls", rest[1].Text());
        return _FAILED;
    }
    if (!archive.ReserveSlots(1) ||
        !archive.WriteResource(rest[0], bytes.data, bytes.size, ComputeMd5(bytes.data, bytes.size)))
        return _FAILED;
    return _OK;
}

} // namespace

int main(int argc, char** argv) {
    EngineContext::Get().printSink = {&LogToStderr, nullptr};
    EngineContext::Get().errorSink = {&LogToStderr, nullptr};
    logTimestamp = false;
    Array<WString> args;
    for (int i = 1; i < argc; i++) {
        char16_t* wide = AnsiToWide(nullptr, 0, argv[i]);
        args.Append(WString(NonNull(wide)));
        MemFree(wide);
    }
    return Run(args);
}
