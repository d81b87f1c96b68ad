#include "app/CheckFolder.h"

#include "app/ShellTasks.h"
#include "app/TargetGuard.h"
#include "store/FileCopy.h"
#include "store/FileLockProbe.h"
#include "store/TargetAccess.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QStorageInfo>

#ifndef Q_OS_WIN
#include <cstdio>
#include <sys/file.h>
#endif

namespace tavik::app {

namespace {
const QString noRoom = QStringLiteral(
    "Für den Probelauf ist im temporären Ordner \"%1\" zu wenig Platz: nötig sind etwa %2, frei sind %3. "
    "Mit der Umgebungsvariablen TMPDIR lässt sich ein anderer Ordner wählen. Es wurde nichts geändert.");
const QString noFolder = QStringLiteral(
    "Für den Probelauf lässt sich im temporären Ordner \"%1\" kein Ordner anlegen: %2 "
    "Mit der Umgebungsvariablen TMPDIR lässt sich ein anderer wählen. Es wurde nichts geändert.");
const QString noBackup
    = QStringLiteral("Die Tavik 5.0 Datendatei \"%1\" könnte nicht nach \"%2\" gesichert werden (%3); "
                     "ohne Sicherung würde sie nicht ersetzt.");
const QString journalSuffixes[] = { QStringLiteral("-journal"), QStringLiteral("-wal") };
const QString folderPrefix = QStringLiteral("tavik-probelauf-");
const QString aliveMark = QStringLiteral(".laeuft");

#ifndef Q_OS_WIN
bool holdsExclusively(QFile& file)
{
    return ::flock(file.handle(), LOCK_EX | LOCK_NB) == 0;
}

// The copies hold guests' names and rates: a check that was killed must not leave them lying about.
void removeFoldersLeftBehind()
{
    const QDir temp(QDir::tempPath());
    for (const QString& name :
        temp.entryList({ folderPrefix + QLatin1Char('*') }, QDir::Dirs | QDir::NoSymLinks)) {
        QFile mark(temp.filePath(name) + QLatin1Char('/') + aliveMark);
        if (mark.open(QIODevice::ReadOnly) && holdsExclusively(mark))
            QDir(temp.filePath(name)).removeRecursively();
    }
}
#endif

// Qt's own text of the failure is English; the temporary folder itself tells the cause.
QString whyNoFolderIn(const QString& temp)
{
    const QFileInfo folder(temp);
    if (!folder.exists())
        return QStringLiteral("Er ist nicht vorhanden.");
    if (!folder.isDir())
        return QStringLiteral("Er ist kein Ordner.");
    const QString why = store::whyFolderNotWritable(temp);
    return why.isEmpty() ? QStringLiteral("Der Grund ist unbekannt.") : why;
}

qint64 sizeOf(const QString& path)
{
    return QFileInfo(path).isFile() ? QFileInfo(path).size() : 0;
}

qint64 freeBytes(const QString& folder)
{
    const QStorageInfo storage(folder);
    return storage.isValid() ? storage.bytesAvailable() : -1;
}
} // namespace

CheckFolder::CheckFolder()
{
#ifndef Q_OS_WIN
    removeFoldersLeftBehind();
#endif
    dir_ = std::make_unique<QTemporaryDir>(
        QDir::tempPath() + QLatin1Char('/') + folderPrefix + QStringLiteral("XXXXXX"));
#ifndef Q_OS_WIN
    if (!dir_->isValid())
        return;
    // Locked before it gets its name, so that no other check finds it unheld.
    alive_ = std::make_unique<QFile>(dir_->filePath(aliveMark + QStringLiteral("-neu")));
    if (alive_->open(QIODevice::WriteOnly) && holdsExclusively(*alive_))
        std::rename(QFile::encodeName(alive_->fileName()).constData(),
            QFile::encodeName(dir_->filePath(aliveMark)).constData());
#endif
}

QString CheckFolder::copyInto(const QString& subfolder, const QString& file) const
{
    const QString folder = dir_->filePath(subfolder);
    QDir().mkpath(folder);
    const QString copy = folder + QLatin1Char('/') + QFileInfo(file).fileName();
    // A file that cannot be copied (missing, in use) is left out: the chain then meets it as a real run
    // would.
    store::fileCopy(file, copy, false);
    return copy;
}

std::optional<CheckStop> CheckFolder::copy(const DataPaths& real, const std::optional<QString>& chosenSource)
{
    if (!dir_->isValid())
        return CheckStop { 1, noFolder.arg(QDir::toNativeSeparators(QDir::tempPath()), whyNoFolderIn(QDir::tempPath())), {}, true };
    real_ = real;
    const qint64 target = sizeOf(real.Datenpfad_neu);
    const qint64 source = qMax(sizeOf(real.Datenpfad_alt), chosenSource ? sizeOf(*chosenSource) : 0);
    // The target, its backup, the source and the copy of it that replaces the target, which grows by the
    // import.
    const qint64 needed = 2 * target + 4 * source;
    if (const qint64 free = freeBytes(dir_->path()); free >= 0 && free < needed) {
        const QLocale format;
        return CheckStop { 1,
            noRoom.arg(QDir::tempPath(), format.formattedDataSize(needed), format.formattedDataSize(free)),
            {}, true };
    }
    work_.Datenpfad_alt = copyInto(QStringLiteral("alt"), real.Datenpfad_alt);
    chosenReal_ = chosenSource;
    if (chosenSource)
        chosenSource_ = copyInto(QStringLiteral("wahl"), *chosenSource);
    work_.Datenpfad_neu = dir_->filePath(QStringLiteral("neu/")) + QFileInfo(real.Datenpfad_neu).fileName();
    QDir().mkpath(dir_->filePath(QStringLiteral("neu")));
    // Taken as it stands, journal included (the chain plays a hot one back into the copy as a real run does).
    const TargetGuard lock = TargetGuard::lock(real.Datenpfad_neu);
    if (lock.refusal() == TargetGuard::Refusal::InUseByAnotherRun)
        return CheckStop { 1, lock.cause(), {} };
    if (QFileInfo(real.Datenpfad_neu).isFile()) {
        QFile::copy(real.Datenpfad_neu, work_.Datenpfad_neu);
        for (const QString& suffix : journalSuffixes) {
            if (QFileInfo::exists(real.Datenpfad_neu + suffix))
                QFile::copy(real.Datenpfad_neu + suffix, work_.Datenpfad_neu + suffix);
        }
    }
    return std::nullopt;
}

std::optional<CheckStop> CheckFolder::whyRealRunWouldStop() const
{
    const QString& target = real_.Datenpfad_neu;
    if (const QString cause = store::whyNotReplaceable(target); !cause.isEmpty())
        return CheckStop { 1, copyFailedMessage(), cause };
    const QString folder = QFileInfo(target).absolutePath();
    // The copy of task 1 reports a missing folder.
    if (!QFileInfo(folder).isDir())
        return CheckStop { 1, copyFailedMessage(), {} };
    const qint64 free = freeBytes(folder);
    const qint64 size = sizeOf(target);
    if (QFileInfo(target).isFile()) {
        const QString backup = backupPathFor(target);
        if (store::sqliteLockHeldElsewhere(target))
            return CheckStop { 1, copyFailedMessage(),
                noBackup.arg(target, backup, QStringLiteral("ein anderes Programm hat sie geöffnet")) };
        if (QFileInfo(backup).isDir())
            return CheckStop { 1, copyFailedMessage(),
                noBackup.arg(target, backup, QStringLiteral("dort liegt ein Ordner")) };
        if (free >= 0 && free < size)
            return CheckStop { 1, copyFailedMessage(),
                noBackup.arg(target, backup, QStringLiteral("zu wenig Platz auf dem Datenträger")) };
    }
    if (free >= 0 && free < size + qMax(sizeOf(work_.Datenpfad_alt), sizeOf(chosenSource_)))
        return CheckStop { 1, copyFailedMessage(),
            QStringLiteral("Im Ordner \"%1\" wäre zu wenig Platz für die Kopie.").arg(folder) };
    return std::nullopt;
}

void CheckFolder::RealNames::add(const store::SkippedOperation& operation)
{
    store::SkippedOperation named = operation;
    named.reason = folder_.inRealNames(operation.reason);
    next_.add(named);
}

QString CheckFolder::inRealNames(QString text) const
{
    const auto folderOf = [](const QString& path) { return QFileInfo(path).path(); };
    QList<std::pair<QString, QString>> names { { work_.Datenpfad_neu, real_.Datenpfad_neu },
        { work_.Datenpfad_alt, real_.Datenpfad_alt } };
    if (chosenReal_)
        names.append({ chosenSource_, *chosenReal_ });
    // Files first, then their folders, so that a backup or a journal beside a copy is named where it would
    // lie.
    for (const auto& [copy, real] : QList(names))
        names.append({ folderOf(copy), folderOf(real) });
    for (const auto& [copy, real] : names) {
        if (!copy.isEmpty())
            text.replace(copy, real);
    }
    return text;
}

} // namespace tavik::app
