#include "FileState.h"

#include "store/Connection.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace tavik::reliability {

namespace {
const QString journalSuffix = QStringLiteral("-journal");
const QString logSuffix = QStringLiteral("-wal");

QString compared(
    const QString& what, const std::optional<QByteArray>& before, const std::optional<QByteArray>& now)
{
    if (before == now)
        return {};
    if (!now)
        return what + QStringLiteral(" is gone");
    if (!before)
        return what + QStringLiteral(" appeared");
    return what + QStringLiteral(" changed (%1 bytes, was %2)").arg(now->size()).arg(before->size());
}
} // namespace

std::optional<QByteArray> contentOf(const QString& path)
{
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

bool writeContent(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

FileSnapshot::FileSnapshot(QString path)
    : path_(std::move(path))
    , bytes_(contentOf(path_))
    , journal_(contentOf(path_ + journalSuffix))
    , log_(contentOf(path_ + logSuffix))
{
}

QString FileSnapshot::changes() const
{
    QStringList found;
    for (const QString& change : { compared(path_, bytes_, contentOf(path_)),
             compared(path_ + journalSuffix, journal_, contentOf(path_ + journalSuffix)),
             compared(path_ + logSuffix, log_, contentOf(path_ + logSuffix)) }) {
        if (!change.isEmpty())
            found << change;
    }
    return found.join(QStringLiteral("; "));
}

QStringList backupsBeside(const QString& target)
{
    const QFileInfo info(target);
    const QString stem = info.fileName().chopped(3);
    const QDir folder = info.absoluteDir();
    QStringList backups;
    for (const QString& name :
        folder.entryList({ stem + QStringLiteral("*ba0") }, QDir::Files | QDir::Hidden))
        backups << folder.filePath(name);
    return backups;
}

bool someBackupHolds(const QString& target, const QByteArray& bytes)
{
    for (const QString& backup : backupsBeside(target)) {
        if (contentOf(backup) == bytes)
            return true;
    }
    return false;
}

QStringList leftoversIn(const QString& folder, const QStringList& expectedNames, const QString& target)
{
    // The run's own files beside the target: its backups and its log.
    QStringList backups { QStringLiteral("tavik-migrate.log") };
    for (const QString& backup : backupsBeside(target))
        backups << QFileInfo(backup).fileName();
    QStringList leftovers;
    const auto every = QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot;
    for (const QString& name : QDir(folder).entryList(every)) {
        if (!expectedNames.contains(name) && !backups.contains(name))
            leftovers << name;
    }
    return leftovers;
}

bool markedImported(const QString& target)
{
    if (QFileInfo::exists(target + journalSuffix))
        return false;
    try {
        store::OpenOptions readOnly;
        readOnly.readOnly = true;
        const auto connection = store::Connection::open(target, readOnly);
        store::Statement first = connection->prepare(
            QStringLiteral("SELECT \"Memo13\" FROM \"Einstellungen\" ORDER BY rowid LIMIT 1"));
        return first.step() && first.text(0) == QLatin1String("importiert");
    } catch (const store::EngineError&) {
        return false;
    }
}

} // namespace tavik::reliability
