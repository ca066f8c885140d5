#include "launcher/CopyWorker.h"

#include "Common/Log.h"
#include "Common/StringFormatter.h"
#include "Platform/File.h"
#include "launcher/InstallFolder.h"

namespace Volux {

namespace {

constexpr int _WORKER_PERIOD = 10;

// Same folder whatever the case and trailing separators; the system's own comparison folds
// more than 'A'..'Z', but the launcher builds both sides from the same sources.
bool SameFolder(const char16_t* a, const char16_t* b) {
    WString left(a);
    WString right(b);
    left.TrimRight(u"\\/");
    right.TrimRight(u"\\/");
    return left.Compare(right, false) == 0;
}

// A missing source is no failure: the store holds only what a protected-mode run wrote.
bool CopyIfPresent(const char16_t* from, const char16_t* to) {
    if (!FileSystem::IsFile(from))
        return false;
    if (FileSystem::CopyFile(from, to))
        return true;
    PrintBoth(u"[MC] Copy %ls to %ls fail, skipped", from, to);
    return false;
}

} // namespace

WString VirtualizedFolder(const char16_t* profileFolder, const char16_t* installFolder) {
    WString folder(installFolder);
    if (folder.Length() >= 2)
        folder.Remove(1, 1);
    return Format(u"%ls\\AppData\\Local\\Microsoft\\Windows\\Temporary Internet Files\\Virtualized\\%ls",
                  NonNull(profileFolder), folder.Text());
}

int RunCopyJob(const CopyJob& job) {
    PrintLine(u"[MC] CopyThreadProc startpath: %ls, voluxpath: %ls", job.programFolder.Text(),
              job.installFolder.Text());
    if (job.installFolder.IsEmpty() || SameFolder(job.programFolder, job.installFolder))
        return 0;
    WString store = VirtualizedFolder(job.profileFolder, job.installFolder);
    if (SameFolder(job.programFolder, store))
        return 0;
    FileSystem::CreateDirectories(job.installFolder);

    // Script-set names that could leave the install folder are not copied.
    WString names[5] = {WString(u"install.inf"), WString(u"volux3d.lod"), WString(u"volux3d.qob")};
    int nameCount = 3;
    if (IsPlainName(job.resName)) {
        names[nameCount++] = Format(u"%ls.qoc", job.resName.Text());
        names[nameCount++] = Format(u"%ls.qod", job.resName.Text());
    }
    int copied = 0;
    for (int i = 0; i < nameCount; i++) {
        WString from = Format(u"%ls\\%ls", store.Text(), names[i].Text());
        WString to = Format(u"%ls\\%ls", job.installFolder.Text(), names[i].Text());
        if (CopyIfPresent(from, to))
            copied++;
    }
    if (!IsPlainName(job.fileName)) {
        PrintBoth(u"[MC] Program copy name %ls is not a file name, skipped", job.fileName.Text());
        return copied;
    }
    if (CopyIfPresent(job.programPath, Format(u"%ls\\%ls.exe", job.installFolder.Text(), job.fileName.Text())))
        copied++;
    return copied;
}

bool CopyWorker::Run(WorkerThread*, void* self, int) {
    CopyWorker* worker = static_cast<CopyWorker*>(self);
    RunCopyJob(worker->mJob);
    AtomicExchange(&worker->mFinished, 1);
    return false;
}

void CopyWorker::Start(const CopyJob& job) {
    if (mStarted)
        return;
    mStarted = true;
    mJob = job;
    // Queued first, so the thread's first pass already finds it.
    if (mWorker.AddTask(Run, this, 0) && mWorker.Start(_WORKER_PERIOD, false))
        return;
    PrintBoth(u"[MC] Start copy thread fail, copying on the calling thread");
    Run(nullptr, this, 0);
}

} // namespace Volux
