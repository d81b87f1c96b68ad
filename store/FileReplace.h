#pragma once

#include <QByteArrayView>
#include <QFileDevice>
#include <QString>

#include <string>

#ifdef Q_OS_WIN
#include <QSaveFile>
#endif

namespace tavik::store {

// A file's mode as it stands on the disk. QFileInfo's *User flags say what this process may do
// (everything, for root), so they are left out; setting them back would widen the mode.
QFileDevice::Permissions fileModeOf(const QString& path);
// Forces a file's content to the disk, so a rename that follows cannot expose an empty file
// after a power loss.
bool syncFile(const QString& path);
// Forces a folder's entries (a rename just made) to the disk; a no-op where folders cannot be synced.
bool syncFolder(const QString& folder);
// Atomically puts `from` in place of `to`, replacing it: afterwards the old or the new file is
// there, never neither and never half of one.
bool replaceFile(const QString& from, const QString& to);
// Whether the two paths lead to one existing file: by their resolved paths, or as hard links.
bool isSameFile(const QString& first, const QString& second);

// Asks the system to start writing a range just written to the disk, so that a later sync waits
// for little; only a hint, and nothing where the system has no such request.
void startWritingBack(int descriptor, qint64 offset, qint64 length);

#ifndef Q_OS_WIN
// A file without a name in the folder (O_TMPFILE), opened with the given access mode and readable
// by its owner only; -1 where the system makes none, with errno saying why.
int openUnnamedFile(const QString& folder, int accessMode);
#endif

// Writes the bytes to a new file beside `path`, readable by its owner only, forces it to the disk
// and renames it over `path`. False when any byte could not be written: the old file then stays as
// it was and nothing is left beside it. (QSaveFile reports success over a short write on a full disk.)
bool writeOwnerOnlyFile(const QString& path, const QByteArray& bytes);

// The same written piece by piece, for files too large to hold in memory: readable by its owner
// only and without a name until commit(), which forces it to the disk and puts it in place of
// `path`. A failed write is kept, makes commit() fail and leaves the old file as it was; a file not
// committed is discarded. Writes are gathered into large pieces, and the disk is asked to start
// on what is complete as the file grows, so that commit() finds little left to force.
class OwnerOnlyFile {
public:
    explicit OwnerOnlyFile(const QString& path);
    ~OwnerOnlyFile();
    OwnerOnlyFile(const OwnerOnlyFile&) = delete;
    OwnerOnlyFile& operator=(const OwnerOnlyFile&) = delete;

    void write(QByteArrayView bytes);
    bool commit();
    // The system's error number of the first failure; 0 while none happened or none is known.
    int failureCause() const { return cause_; }

private:
    QString path_;
    bool failed_ = false;
    int cause_ = 0;
#ifdef Q_OS_WIN
    QSaveFile file_;
#else
    bool flush();
    void fail();
    void startWriteback();

    int descriptor_ = -1;
    QByteArray temporary_; // its name beside path_; empty while it has none
    std::string pending_; // written, not yet handed to the system
    qint64 handedOver_ = 0;
    qint64 writebackFrom_ = 0;
#endif
};

} // namespace tavik::store
