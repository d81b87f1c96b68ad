#include "store/ScratchFile.h"

#include "store/FileReplace.h"

#ifdef Q_OS_WIN
#include <QTemporaryFile>
#else
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace tavik::store {

#ifndef Q_OS_WIN
int openScratchDescriptor(const QString& folder)
{
    const int descriptor = openUnnamedFile(folder, O_RDWR);
    if (descriptor >= 0)
        return descriptor;
    // Removed at once: the name stands for an instant, the open file lives on.
    QByteArray name = QFile::encodeName(folder) + "/.tavik-scratch-XXXXXX";
    const int named = ::mkstemp(name.data());
    if (named >= 0)
        ::unlink(name.constData());
    return named;
}
#endif

namespace {
#ifdef Q_OS_WIN
std::unique_ptr<QFile> openUnnamed(const QString& folder)
{
    auto file = std::make_unique<QTemporaryFile>(folder + QStringLiteral("/tavik-scratch-XXXXXX"));
    if (!file->open())
        return nullptr;
    return file;
}
#else
std::unique_ptr<QFile> openUnnamed(const QString& folder)
{
    const int descriptor = openScratchDescriptor(folder);
    if (descriptor < 0)
        return nullptr;
    auto file = std::make_unique<QFile>();
    if (!file->open(descriptor, QIODevice::ReadWrite, QFileDevice::AutoCloseHandle)) {
        ::close(descriptor);
        return nullptr;
    }
    return file;
}
#endif
} // namespace

ScratchFile::ScratchFile(const QString& folder)
    : file_(openUnnamed(folder))
    , failed_(!file_)
{
}

ScratchFile::~ScratchFile() = default;

void ScratchFile::append(QByteArrayView bytes)
{
    failed_ = failed_ || file_->write(bytes.data(), bytes.size()) != bytes.size();
}

bool ScratchFile::copyInto(OwnerOnlyFile& file)
{
    if (failed_ || !file_->flush() || !file_->seek(0))
        return false;
    QByteArray chunk(1 << 16, Qt::Uninitialized);
    for (;;) {
        const qint64 read = file_->read(chunk.data(), chunk.size());
        if (read < 0)
            return false;
        if (read == 0)
            return true;
        file.write(QByteArrayView(chunk.constData(), read));
    }
}

} // namespace tavik::store
