// The start-up copy: a program started from inside a browser's protected mode writes into a
// virtualised store instead of the install folder; a later start from anywhere else copies
// what was stored there into the real install folder. It runs on a worker thread while the
// UI thread keeps the progress window alive and polls IsFinished.
#pragma once

#include "Common/WString.h"
#include "Platform/WorkerThread.h"

namespace Volux {

struct CopyJob {
    WString programPath;    // the running program; copied as "<fileName>.exe"
    WString programFolder;  // its folder
    WString installFolder;
    WString profileFolder;
    WString resName;   // names the game archives "<resName>.qoc" and "<resName>.qod"
    WString fileName;  // names the program's copy
};

// "<profile>\AppData\Local\Microsoft\Windows\Temporary Internet Files\Virtualized\<folder>"
// with the drive colon (the folder's second character) taken out.
WString VirtualizedFolder(const char16_t* profileFolder, const char16_t* installFolder);

// Copies into the install folder, unless the program already runs from the install folder or
// from the virtualised store: install.inf, volux3d.lod, volux3d.qob, <resName>.qoc and
// <resName>.qod from the virtualised store, then the program itself. Files the store does not
// hold are skipped; a copy that fails is logged and skipped. Returns the files copied.
int RunCopyJob(const CopyJob& job);

class CopyWorker {
public:
    CopyWorker() = default;
    // Waits for a copy under way.
    ~CopyWorker() = default;
    CopyWorker(const CopyWorker&) = delete;
    CopyWorker& operator=(const CopyWorker&) = delete;

    // Runs the job on the worker thread; when no thread can be started it runs here instead,
    // so the caller's wait always ends. One job per object.
    void Start(const CopyJob& job);
    // Set by the worker once the job has ended; safe to poll from any thread.
    bool IsFinished() const { return AtomicRead(&mFinished) != 0; }

private:
    static bool Run(WorkerThread* worker, void* self, int value);

    CopyJob mJob;
    volatile int mFinished = 0;
    bool mStarted = false;
    // Last member: destroyed first, so the thread has ended before the job goes away.
    WorkerThread mWorker;
};

} // namespace Volux
