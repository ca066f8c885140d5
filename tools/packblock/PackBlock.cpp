// packblock: a host tool over the engine's compressed blocks and digests.
//   packblock pack [--zlib] IN OUT   pack IN as a compressed block (LZMA unless --zlib)
//   packblock unpack IN OUT          unpack a compressed block through the stream decoder
//   packblock md5 FILE               print the checksum text and the conventional hex text
#include <cstdio>
#include <cstring>
#include <string>

#include "Common/ByteBuffer.h"
#include "Common/Compression.h"
#include "Common/Md5.h"
#include "Common/Memory.h"
#include "Common/StringEncoding.h"
#include "Common/WString.h"
#include "Platform/File.h"

using namespace Volux;

namespace {

WString Wide(const char* text) {
    WString out;
    char16_t* converted = Utf8ToWide(nullptr, 0, text, -1, nullptr);
    if (converted != nullptr) {
        out = converted;
        MemFree(converted);
    }
    return out;
}

std::string Narrow(const WString& text) {
    std::string out;
    for (int i = 0; i < text.Length(); i++)
        out += char(text.Text()[i]);
    return out;
}

int Usage() {
    fprintf(stderr,
            "usage: packblock pack [--zlib] IN OUT\n"
            "       packblock unpack IN OUT\n"
            "       packblock md5 FILE\n");
    return 2;
}

int Pack(const char* in, const char* out, bool useLzma) {
    ByteBuffer buffer;
    if (!FileSystem::ReadFile(Wide(in), buffer)) {
        fprintf(stderr, "packblock: cannot read %s\n", in);
        return 1;
    }
    if (IsCompressedBlock(buffer.data, buffer.size))
        fprintf(stderr, "packblock: %s is already a compressed block; copied as it is\n", in);
    if (!PackBuffer(buffer, useLzma) || !FileSystem::WriteFile(Wide(out), buffer.data, buffer.size)) {
        fprintf(stderr, "packblock: cannot pack %s into %s\n", in, out);
        return 1;
    }
    return 0;
}

bool ReadFromFile(void* file, void* buffer, _dword* length) {
    return static_cast<File*>(file)->Read(buffer, *length, length);
}

bool WriteToFile(void* file, const void* buffer, _dword* length) {
    return static_cast<File*>(file)->Write(buffer, *length, length);
}

int Unpack(const char* in, const char* out) {
    File input;
    File output;
    if (!input.Open(Wide(in), File::_READ)) {
        fprintf(stderr, "packblock: cannot read %s\n", in);
        return 1;
    }
    if (!output.Open(Wide(out), File::_CREATE)) {
        fprintf(stderr, "packblock: cannot create %s\n", out);
        return 1;
    }
    if (!UnpackStream(ReadFromFile, &input, WriteToFile, &output)) {
        fprintf(stderr, "packblock: %s is not a valid compressed block\n", in);
        output.Close();
        FileSystem::DeleteFile(Wide(out));
        return 1;
    }
    return 0;
}

int Digest(const char* path) {
    WString widePath = Wide(path);
    if (!FileSystem::IsFile(widePath)) {
        fprintf(stderr, "packblock: cannot read %s\n", path);
        return 1;
    }
    Md5Digest digest = FileSystem::FileDigest(widePath);
    printf("%s %s  %s\n", Narrow(ChecksumText(digest)).c_str(), Narrow(HexText(digest)).c_str(), path);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2)
        return Usage();
    const char* command = argv[1];
    if (strcmp(command, "pack") == 0) {
        bool useLzma = true;
        int first = 2;
        if (argc > 2 && strcmp(argv[2], "--zlib") == 0) {
            useLzma = false;
            first = 3;
        }
        if (argc != first + 2)
            return Usage();
        return Pack(argv[first], argv[first + 1], useLzma);
    }
    if (strcmp(command, "unpack") == 0 && argc == 4)
        return Unpack(argv[2], argv[3]);
    if (strcmp(command, "md5") == 0 && argc == 3)
        return Digest(argv[2]);
    return Usage();
}
