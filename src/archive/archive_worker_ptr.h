#pragma once
// Owns an ArchiveWorker where its full type is not known (a window's
// header): destroying it never waits for the archive's thread.

#include <memory>

namespace archive {

class ArchiveWorker;

struct WorkerDeleter {
    void operator()(ArchiveWorker *worker) const;
};
using WorkerPtr = std::unique_ptr<ArchiveWorker, WorkerDeleter>;

} // namespace archive
