// The writer and the check of the crash tests (HashArchiveCrashTest_posix.cpp kills a forked
// child, HashArchiveCrashTest_win32.cpp terminates a child process of the test program): a
// child writes, replaces and deletes resources and is killed at a random moment, many times
// over one archive; after every kill the archive must open with every resource in one of its
// versions, intact, and no free space over live data.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "Common/StringFormatter.h"
#include "Storage/HashArchive.h"

namespace VoluxTest {
namespace Crash {

using namespace Volux;

constexpr int _FIXED = 40;     // always present: only replaced
constexpr int _OPTIONAL = 20;  // added and deleted as well

inline WString NameOf(int i) { return Format(u"res\\%d.bin", i); }

// Version g of resource i: its number and version, then bytes derived from both. The length
// varies so that splits, exact fits, appends and cuts all happen.
inline std::string Version(int i, _dword g) {
    size_t length = 8 + (size_t(i) * 131 + size_t(g) * 977) % 3000;
    std::string data(length, 0);
    for (int k = 0; k < 4; k++) {
        data[k] = char(i >> (8 * k));
        data[4 + k] = char(g >> (8 * k));
    }
    _dword state = _dword(i) * 2654435761u ^ g;
    for (size_t k = 8; k < length; k++) {
        state = state * 1103515245u + 12345u;
        data[k] = char(state >> 16);
    }
    return data;
}

inline bool Put(HashArchive& archive, int i, _dword g) {
    std::string data = Version(i, g);
    return archive.WriteResource(NameOf(i), data.data(), _dword(data.size()), ComputeMd5(data.data(), data.size()));
}

// Writes until the process is killed; ready() is called once the archive is open. Returns
// only when the archive does not open.
template <class Ready>
void RunWriter(const WString& path, unsigned seed, Ready ready) {
    CriticalSection lock;
    HashArchive archive(&lock, u"");
    if (!archive.Open(path, true, 0))
        return;
    ready();
    std::mt19937 random(seed);
    for (_dword g = seed * 100000u;; g++) {
        int i = int(random() % (_FIXED + _OPTIONAL));
        if (i >= _FIXED && random() % 2 == 0)
            archive.DeleteResource(NameOf(i));
        else
            Put(archive, i, g);
    }
}

// Every live resource holds a whole version of itself; the fixed ones are all there.
inline void CheckArchive(const WString& path, int round) {
    CriticalSection lock;
    HashArchive archive(&lock, u"");
    ASSERT_TRUE(archive.Open(path, true, 0)) << "round " << round;
    for (int i = 0; i < _FIXED + _OPTIONAL; i++) {
        IDataStream* stream = archive.OpenStream(NameOf(i));
        if (stream == nullptr) {
            EXPECT_GE(i, _FIXED) << "resource " << i << " lost in round " << round;
            continue;
        }
        std::string data(size_t(stream->GetLength()), 0);
        bool read = data.size() >= 8 && stream->Read(&data[0], _dword(data.size()), 0);
        Md5Digest checksum = stream->GetChecksum();
        delete stream;
        ASSERT_TRUE(read) << "resource " << i << " round " << round;
        _dword g = _dword(_byte(data[4])) | _dword(_byte(data[5])) << 8 | _dword(_byte(data[6])) << 16 |
                   _dword(_byte(data[7])) << 24;
        ASSERT_EQ(data, Version(i, g)) << "resource " << i << " torn in round " << round;
        ASSERT_TRUE(checksum == ComputeMd5(data.data(), data.size())) << "resource " << i << " round " << round;
    }
    // No two chunks or regions share a byte.
    std::vector<std::pair<_qword, _qword>> ranges;
    for (_dword k = 0; k < archive.ItemCount(); k++) {
        const HashItem& item = archive.Item(k);
        if (item.HasChunk())
            ranges.push_back({item.chunkOffset, _qword(item.chunkOffset) + item.chunkLength});
    }
    std::sort(ranges.begin(), ranges.end());
    for (size_t k = 1; k < ranges.size(); k++)
        ASSERT_LE(ranges[k - 1].second, ranges[k].first) << "overlap in round " << round;
    if (!ranges.empty()) {
        ASSERT_LE(ranges.back().second, archive.FileLength());
    }
}

// A fresh archive with every fixed resource in version 0.
inline bool CreateArchive(const WString& path) {
    CriticalSection lock;
    HashArchive archive(&lock, u"");
    if (!archive.Create(path, 2 * (_FIXED + _OPTIONAL)))
        return false;
    for (int i = 0; i < _FIXED; i++)
        if (!Put(archive, i, 0))
            return false;
    return true;
}

} // namespace Crash
} // namespace VoluxTest
