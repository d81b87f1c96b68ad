#pragma once

#include <QFile>
#include <QString>

#include <memory>

namespace tavik::store {

class OwnerOnlyFile;

#ifndef Q_OS_WIN
// A file of this process alone in the folder, without a name (or one removed at once where the
// system makes no unnamed files); -1 with errno saying why.
int openScratchDescriptor(const QString& folder);
#endif

// Bytes kept on the disk instead of in memory until the file they belong in is written: a file
// without a name in the given folder, readable by its owner only, gone when the object or the
// process is. A failed write is kept and makes copyInto() fail.
class ScratchFile {
public:
    explicit ScratchFile(const QString& folder);
    ~ScratchFile();

    void append(QByteArrayView bytes);
    // Everything appended so far, written to the end of `file`.
    bool copyInto(OwnerOnlyFile& file);

private:
    std::unique_ptr<QFile> file_;
    bool failed_ = false;
};

} // namespace tavik::store
