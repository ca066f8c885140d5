// Disk archive: a folder of plain files, optionally backed by a read-only folder or by a
// read-only resource list (source ">path", the list read from "path.asset"), with a deleted
// list ("<root>/volux3d.deleted", one name per line) of read-only resources that are gone.
// With an empty root, names are file paths as they are (the manager's plain-file fallback).
#pragma once

#include "Common/Hash.h"
#include "Storage/DataArchive.h"
#include "Storage/ResourceList.h"

namespace Volux {

class DiskArchive : public DataArchive {
public:
    DiskArchive(CriticalSection* lock, const char16_t* name, const char16_t* root, const char16_t* readOnlySource);

    // Makes the root folder when it is not empty.
    bool Create();
    // Checks the folders, reads a ">" resource list, the deleted list and an own manifest
    // (binary list; its version becomes the archive's).
    bool Open(const ByteBuffer* manifestBuffer);

    int GetType() const override { return _ARCHIVE_DISK; }
    IDataStream* OpenStream(const char16_t* name) override;
    bool WriteResource(const char16_t* name, const void* bytes, _dword length, const Md5Digest& checksum) override;
    bool DeleteResource(const char16_t* name) override;
    bool GetResourceInfo(const char16_t* name, _dword& length, Md5Digest& checksum) override;
    bool HasResource(const char16_t* name) override;
    int Enumerate(EnumerateCallback callback, void* arg1, void* arg2) override;

    WStringPtr GetRoot() const { return mRoot; }
    bool IsDeleted(const char16_t* name) const;

private:
    // A key text named by the own manifest becomes the entry's name.
    WString MapName(const char16_t* name, const ResourceListEntry** entry = nullptr) const;
    WString UnderRoot(const char16_t* name) const;
    WString UnderReadOnly(const char16_t* name) const;
    bool ReadOnlyIsList() const { return mReadOnly.StartsWith(u">"); }
    bool SaveDeletedList();

    WString mRoot;
    WString mReadOnly;
    Hash<WString, bool> mDeleted;  // lower-cased names
    ResourceList mManifest;        // the archive's own, for names given as keys
    ResourceList mReadOnlyList;    // the ">" list
};

} // namespace Volux
