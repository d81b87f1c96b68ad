#pragma once

#include <QString>
#include <QStringList>

namespace tavik::reliability {

// The names appearing in and leaving one folder, as the kernel reports them (inotify): a file
// created, a file renamed into the folder, a file removed. A test that reacts to the n-th of them
// stops a program right at a step of its work without any help from the program.
class FolderEvents {
public:
    explicit FolderEvents(const QString& folder);
    ~FolderEvents();

    FolderEvents(const FolderEvents&) = delete;
    FolderEvents& operator=(const FolderEvents&) = delete;

    bool isWatching() const { return watch_ >= 0; }
    // Readable whenever something was reported; for poll().
    int descriptor() const { return descriptor_; }
    // Everything reported since the last call, in order, as "created tavik_50.mdb-journal".
    QStringList take();

private:
    int descriptor_ = -1;
    int watch_ = -1;
};

} // namespace tavik::reliability
