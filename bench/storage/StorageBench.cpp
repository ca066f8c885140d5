// Storage benchmark: many small incompressible resources read in random order from one hash
// archive, from separate files in a folder and from an SQLite table through its blob API (the
// workload of SQLite's kvtest); same-size replaces against SQLite in WAL mode; a lookup miss
// with one and with five archives mounted. Prints times and ratios from one run.
//
//   storage_bench [--quick] [--count N] [--folder PATH]
//
// --quick uses 10,000 resources instead of 100,000. The data lives in a scratch folder
// (default: build/bench-storage beside the program's working directory), removed at the end.
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "Common/ByteBuffer.h"
#include "Common/EngineContext.h"
#include "Common/Md5.h"
#include "Common/StringFormatter.h"
#include "Platform/File.h"
#include "Storage/DataStream.h"
#include "Storage/HashArchive.h"
#include "Storage/ResourceManager.h"

using namespace Volux;

namespace {

using Clock = std::chrono::steady_clock;

int Quiet(const char16_t*, void*, bool) { return 1; }

double Seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// Resource i: 8-12 KB of pseudo-random bytes, the same every time for the same i and round.
struct Payload {
    std::vector<_dword> sizes;
    _qword total = 0;

    explicit Payload(int count) {
        std::mt19937 random(12345);
        std::uniform_int_distribution<int> size(8 * 1024, 12 * 1024);
        for (int i = 0; i < count; i++) {
            sizes.push_back(_dword(size(random)));
            total += sizes.back();
        }
    }
    void Fill(int index, int round, std::vector<_byte>& out) const {
        out.resize(sizes[size_t(index)]);
        unsigned long long state = 0x9E3779B97F4A7C15ull * unsigned(index + 1) + unsigned(round) * 0x632BE59BD9B4E019ull;
        for (size_t i = 0; i < out.size(); i += 8) {
            state ^= state << 13;
            state ^= state >> 7;
            state ^= state << 17;
            size_t n = std::min<size_t>(8, out.size() - i);
            memcpy(&out[i], &state, n);
        }
    }
};

WString ResourceName(int index) { return Format(u"res\\%06d.bin", index); }

bool Check(bool ok, const char* what) {
    if (!ok)
        fprintf(stderr, "storage_bench: %s failed\n", what);
    return ok;
}

void Row(const char* what, double seconds, int count) {
    printf("  %-44s %9.3f s  %9.1f us/op\n", what, seconds, seconds * 1e6 / count);
}

} // namespace

int main(int argc, char** argv) {
    int count = 100000;
    std::string folderText = "build/bench-storage";
    for (int i = 1; i < argc; i++) {
        if (strcmp(argv[i], "--quick") == 0)
            count = 10000;
        else if (strcmp(argv[i], "--count") == 0 && i + 1 < argc)
            count = atoi(argv[++i]);
        else if (strcmp(argv[i], "--folder") == 0 && i + 1 < argc)
            folderText = argv[++i];
        else {
            fprintf(stderr, "usage: storage_bench [--quick] [--count N] [--folder PATH]\n");
            return 2;
        }
    }
    if (count < 100) {
        fprintf(stderr, "storage_bench: --count needs at least 100\n");
        return 2;
    }
    // The engine's log lines (archive growth, mounts) would drown the figures.
    EngineContext::Get().printSink = {&Quiet, nullptr};
    EngineContext::Get().errorSink = {&Quiet, nullptr};
    WString folder;
    for (char c : folderText)
        folder.AppendChar(c == '/' ? u'\\' : char16_t(c));
    FileSystem::RemoveDirectoryTree(folder);
    if (!Check(FileSystem::CreateDirectories(folder), "creating the scratch folder"))
        return 1;
    WString archivePath = Format(u"%ls\\data.qod", folder.Text());
    WString filesRoot = Format(u"%ls\\files", folder.Text());
    WString databasePath = Format(u"%ls\\data.db", folder.Text());
    std::string databaseNative = folderText + "/data.db";

    Payload payload(count);
    std::vector<_byte> bytes;
    printf("storage_bench: %d resources of 8-12 KB, %.1f MB of payload\n\n", count, double(payload.total) / 1e6);

    // ---- building the three stores
    Clock::time_point start = Clock::now();
    HashArchive archive(nullptr, u"");
    if (!Check(archive.Create(archivePath, _dword(count)), "creating the archive"))
        return 1;
    for (int i = 0; i < count; i++) {
        payload.Fill(i, 0, bytes);
        if (!Check(archive.WriteResource(ResourceName(i), bytes.data(), _dword(bytes.size()),
                                         ComputeMd5(bytes.data(), bytes.size())),
                   "writing to the archive"))
            return 1;
    }
    double buildArchive = Seconds(start);

    start = Clock::now();
    for (int i = 0; i < count; i++) {
        payload.Fill(i, 0, bytes);
        if (!Check(FileSystem::WriteFile(Format(u"%ls\\%06d.bin", filesRoot.Text(), i), bytes.data(), _dword(bytes.size())),
                   "writing a file"))
            return 1;
    }
    double buildFiles = Seconds(start);

    start = Clock::now();
    sqlite3* db = nullptr;
    if (!Check(sqlite3_open(databaseNative.c_str(), &db) == SQLITE_OK, "opening the database"))
        return 1;
    sqlite3_exec(db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;", nullptr, nullptr, nullptr);
    sqlite3_exec(db, "CREATE TABLE kv(k INTEGER PRIMARY KEY, v BLOB); BEGIN;", nullptr, nullptr, nullptr);
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO kv(k, v) VALUES(?1, ?2)", -1, &insert, nullptr);
    for (int i = 0; i < count; i++) {
        payload.Fill(i, 0, bytes);
        sqlite3_bind_int(insert, 1, i);
        sqlite3_bind_blob(insert, 2, bytes.data(), int(bytes.size()), SQLITE_STATIC);
        if (!Check(sqlite3_step(insert) == SQLITE_DONE, "inserting into the database"))
            return 1;
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    sqlite3_exec(db, "COMMIT; PRAGMA wal_checkpoint(TRUNCATE);", nullptr, nullptr, nullptr);
    double buildDatabase = Seconds(start);

    printf("building\n");
    Row("hash archive", buildArchive, count);
    Row("separate files", buildFiles, count);
    Row("SQLite (one transaction)", buildDatabase, count);

    // ---- random-order reads of every resource, each store read once before timing so all
    // three are measured from the page cache alike
    std::vector<int> order(static_cast<size_t>(count));
    for (int i = 0; i < count; i++)
        order[size_t(i)] = i;
    std::shuffle(order.begin(), order.end(), std::mt19937(777));
    std::vector<_byte> buffer(12 * 1024 + 16);
    _qword checkSum = 0;

    auto readArchive = [&]() {
        for (int i : order) {
            IDataStream* stream = archive.OpenStream(ResourceName(i));
            if (stream == nullptr || stream->GetLength() != int(payload.sizes[size_t(i)]) ||
                !stream->Read(buffer.data(), _dword(stream->GetLength()), 0))
                return false;
            checkSum += buffer[0];
            delete stream;
        }
        return true;
    };
    auto readFiles = [&]() {
        for (int i : order) {
            File file;
            if (!file.Open(Format(u"%ls\\%06d.bin", filesRoot.Text(), i), File::_READ))
                return false;
            _dword size = _dword(file.Size());
            if (size != payload.sizes[size_t(i)] || !file.Read(buffer.data(), size))
                return false;
            checkSum += buffer[0];
        }
        return true;
    };
    sqlite3_blob* blob = nullptr;
    auto readDatabase = [&]() {
        for (int i : order) {
            int rc = blob == nullptr ? sqlite3_blob_open(db, "main", "kv", "v", i, 0, &blob)
                                     : sqlite3_blob_reopen(blob, i);
            if (rc != SQLITE_OK)
                return false;
            int size = sqlite3_blob_bytes(blob);
            if (size != int(payload.sizes[size_t(i)]) || sqlite3_blob_read(blob, buffer.data(), size, 0) != SQLITE_OK)
                return false;
            checkSum += buffer[0];
        }
        return true;
    };
    if (!Check(readArchive() && readFiles() && readDatabase(), "warming up the reads"))
        return 1;
    start = Clock::now();
    bool ok = readArchive();
    double archiveRead = Seconds(start);
    start = Clock::now();
    ok = readFiles() && ok;
    double filesRead = Seconds(start);
    start = Clock::now();
    ok = readDatabase() && ok;
    double databaseRead = Seconds(start);
    if (!Check(ok, "reading"))
        return 1;
    sqlite3_blob_close(blob);
    blob = nullptr;
    printf("\nrandom-order reads of every resource\n");
    Row("hash archive", archiveRead, count);
    Row("separate files", filesRead, count);
    Row("SQLite blob API", databaseRead, count);

    // ---- sizes
    _qword archiveSize = archive.FileLength();
    File databaseFile;
    _qword databaseSize = databaseFile.Open(databasePath, File::_READ) ? databaseFile.Size() : 0;
    databaseFile.Close();
    printf("\nsizes\n  payload %.1f MB, hash archive %.1f MB, SQLite %.1f MB\n", double(payload.total) / 1e6,
           double(archiveSize) / 1e6, double(databaseSize) / 1e6);

    // ---- same-size replaces
    int replaces = std::min(count, 10000);
    std::vector<int> targets(order.begin(), order.begin() + replaces);
    start = Clock::now();
    for (int i : targets) {
        payload.Fill(i, 1, bytes);
        if (!Check(archive.WriteResource(ResourceName(i), bytes.data(), _dword(bytes.size()),
                                         ComputeMd5(bytes.data(), bytes.size())),
                   "replacing in the archive"))
            return 1;
    }
    double archiveReplace = Seconds(start);
    _qword archiveSizeAfter = archive.FileLength();
    sqlite3_stmt* update = nullptr;
    sqlite3_prepare_v2(db, "UPDATE kv SET v = ?1 WHERE k = ?2", -1, &update, nullptr);
    start = Clock::now();
    for (int i : targets) {
        payload.Fill(i, 1, bytes);
        sqlite3_bind_blob(update, 1, bytes.data(), int(bytes.size()), SQLITE_STATIC);
        sqlite3_bind_int(update, 2, i);
        if (!Check(sqlite3_step(update) == SQLITE_DONE, "replacing in the database"))
            return 1;
        sqlite3_reset(update);
    }
    double databaseReplace = Seconds(start);
    sqlite3_finalize(update);
    sqlite3_close(db);
    printf("\n%d same-size replaces (the checksum computed for the archive is included)\n", replaces);
    Row("hash archive", archiveReplace, replaces);
    Row("SQLite, WAL, synchronous=NORMAL", databaseReplace, replaces);
    printf("  archive size after the replaces %.1f MB\n", double(archiveSizeAfter) / 1e6);

    // ---- a miss with one and with five archives mounted
    const int smallCount = 1000;
    const int misses = 200000;
    double missSeconds[2] = {0, 0};
    double archiveMissSeconds[2] = {0, 0};
    for (int round = 0; round < 2; round++) {
        int mounted = round == 0 ? 1 : 5;
        ResourceManager manager;
        for (int a = 0; a < mounted; a++) {
            IDataArchive* small =
                manager.CreateHashArchive(u"", Format(u"%ls\\small%d.qod", folder.Text(), a), smallCount);
            if (!Check(small != nullptr, "creating a small archive"))
                return 1;
            for (int i = 0; i < smallCount; i++) {
                _byte one[64] = {_byte(i), _byte(a)};
                small->WriteResource(Format(u"small%d\\%d.bin", a, i), one, sizeof(one), Md5Digest());
            }
        }
        std::vector<WString> names;
        for (int i = 0; i < 1000; i++)
            names.push_back(Format(u"missing\\folder\\%d.bin", i));
        int found = 0;
        start = Clock::now();
        for (int i = 0; i < misses; i++)
            found += manager.HasResource(names[size_t(i % 1000)]) ? 1 : 0;
        missSeconds[round] = Seconds(start);
        // The archives alone, without the manager's name handling and its plain-file check.
        start = Clock::now();
        for (int i = 0; i < misses; i++)
            for (_dword a = 0; a < manager.GetArchiveCount(); a++)
                found += manager.GetArchive(a)->HasResource(names[size_t(i % 1000)]) ? 1 : 0;
        archiveMissSeconds[round] = Seconds(start);
        if (!Check(found == 0, "missing names"))
            return 1;
        manager.UnmountAll();
    }
    printf("\nlookup miss through the resource manager\n");
    Row("one archive mounted", missSeconds[0], misses);
    Row("five archives mounted", missSeconds[1], misses);
    Row("the archives alone, one", archiveMissSeconds[0], misses);
    Row("the archives alone, five", archiveMissSeconds[1], misses);

    printf("\nratios (goal in brackets)\n");
    printf("  files / hash archive read time            %6.2f  (>= 1.35)\n", filesRead / archiveRead);
    printf("  SQLite / hash archive read time           %6.2f  (>= 1.00)\n", databaseRead / archiveRead);
    printf("  hash archive size / payload               %6.3f  (<= 1.02)\n", double(archiveSize) / double(payload.total));
    printf("  hash archive / SQLite replace time        %6.2f  (reported)\n", archiveReplace / databaseReplace);
    printf("  miss, five archives / one archive         %6.2f  (<= 1.50)\n", missSeconds[1] / missSeconds[0]);
    if (checkSum == 0)
        printf("(no bytes read)\n");

    FileSystem::RemoveDirectoryTree(folder);
    return 0;
}
