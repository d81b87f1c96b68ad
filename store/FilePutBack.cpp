#include "store/FilePutBack.h"

#include "store/FileCopy.h"
#include "store/FileReplace.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#ifndef Q_OS_WIN
#include <unistd.h>
#endif

namespace tavik::store {

bool sameContent(const QString& first, const QString& second)
{
    QFile a(first);
    QFile b(second);
    if (!a.open(QIODevice::ReadOnly) || !b.open(QIODevice::ReadOnly) || a.size() != b.size())
        return false;
    constexpr qint64 chunk = 1 << 20;
    while (!a.atEnd()) {
        if (a.read(chunk) != b.read(chunk))
            return false;
    }
    return b.atEnd();
}

QString freeName(const QString& stem, const QString& suffix)
{
    QString name = stem + suffix;
    for (int number = 2; QFileInfo::exists(name) || QFileInfo(name).isSymLink(); ++number)
        name = stem + QStringLiteral("-%1").arg(number) + suffix;
    return name;
}

bool keepUnderSecondName(const QString& file, const QString& secondName)
{
#ifndef Q_OS_WIN
    if (::link(QFile::encodeName(file).constData(), QFile::encodeName(secondName).constData()) == 0) {
        syncFolder(QFileInfo(secondName).absolutePath());
        return true;
    }
#endif
    return !QFileInfo::exists(secondName) && fileCopy(file, secondName, false);
}

bool moveToFreeName(const QString& file, const QString& newName)
{
#ifndef Q_OS_WIN
    // link() refuses an existing name in one step; a rename would replace it.
    if (::link(QFile::encodeName(file).constData(), QFile::encodeName(newName).constData()) == 0) {
        const bool moved = QFile::remove(file);
        syncFolder(QFileInfo(newName).absolutePath());
        return moved;
    }
#endif
    if (QFileInfo::exists(newName) || !QFile::rename(file, newName))
        return false;
    syncFolder(QFileInfo(newName).absolutePath());
    return true;
}

bool putVerifiedCopyInPlace(const QString& from, const QString& target)
{
    // Named like an unfinished copy of the target, so that one a crash leaves is removed by the next
    // copy to the target.
    QString beside;
    do {
        beside = target + QStringLiteral(".tavik-copy-");
        for (int i = 0; i < 6; ++i)
            beside += QLatin1Char(
                "abcdefghijklmnopqrstuvwxyz0123456789"[QRandomGenerator::global()->bounded(36)]);
    } while (QFileInfo::exists(beside));
    if (!fileCopy(from, beside, false))
        return false;
    const bool placed = (!QFileInfo::exists(target) || QFile::setPermissions(beside, fileModeOf(target)))
        && sameContent(from, beside) && replaceFile(beside, target);
    if (!placed) {
        QFile::remove(beside);
        return false;
    }
    syncFolder(QFileInfo(target).absolutePath());
    return true;
}

} // namespace tavik::store
