#include "app/ReportPath.h"

#include "store/FileReplace.h"
#include "store/RunLock.h"
#include "store/TargetAccess.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace tavik::app {

namespace {

const QString refused = QStringLiteral("Der Bericht wird nicht nach \"%1\" geschrieben: dort liegt %2.");
const QByteArray dataFileHeader = QByteArrayLiteral("SQLite format 3");

// Where writing to the path would end up: links followed, also one that points nowhere yet.
QString resolvedPath(const QString& path)
{
    QFileInfo info(path);
    for (int depth = 0; depth < 40 && info.isSymLink(); ++depth)
        info = QFileInfo(info.symLinkTarget());
    if (info.exists())
        return info.canonicalFilePath();
    const QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
    return folder.isEmpty() ? info.absoluteFilePath() : folder + QLatin1Char('/') + info.fileName();
}

// Whether the report, at `path` and resolved to `resolved`, would be written into that file (also
// one not there yet, which only its resolved path can name).
bool sameFile(const QString& path, const QString& resolved, const QString& file)
{
    return resolved == resolvedPath(file) || store::isSameFile(path, file);
}

// What lies at an existing path that a report must not replace; empty for an earlier report or an
// empty file. A data file protected with a password has no header to know it by, so everything
// that does not begin like a report counts. Other programs write JSON objects too: a report is
// known by its first keys, which come in the same order in every report of one version.
QString whatMustNotBeReplaced(const QString& path)
{
    // Room for the backup's path however long, escaped.
    constexpr qint64 maxReportBeginning = 16384;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray head = file.read(maxReportBeginning);
    if (head.startsWith(dataFileHeader))
        return QStringLiteral("eine Datendatei");
    const QByteArray text = head.trimmed();
    // Earlier reports have every key sorted ("cause" second), later ones first the keys known when
    // the run starts ("check" second, then "keptBackup").
    static const QRegularExpression reportBeginning(
        QStringLiteral(R"(^\{\s*"backup"\s*:\s*(null|"(?:[^"\\]|\\.)*")\s*,\s*)"
                       R"(("cause"\s*:|"check"\s*:\s*(true|false)\s*,\s*"keptBackup"\s*:))"));
    if (text.isEmpty() || reportBeginning.match(QString::fromUtf8(text)).hasMatch())
        return {};
    return QStringLiteral("eine Datei, die kein Bericht ist");
}

// Dated backups kept beside the target ("tavik_50.2026-12-09_08-30-05.ba0").
bool isBackupOf(const QString& resolved, const QString& Datenpfad_neu)
{
    const QFileInfo report(resolved);
    const QFileInfo target(resolvedPath(Datenpfad_neu));
    const QString stem = target.fileName().chopped(qMin<qsizetype>(3, target.fileName().size()));
    return report.absolutePath() == target.absolutePath() && report.fileName().startsWith(stem)
        && report.fileName().endsWith(QStringLiteral("ba0"), Qt::CaseInsensitive);
}

} // namespace

QList<GuardedFile> filesOfTheRun(const DataPaths& paths, const std::optional<QString>& chosenSource)
{
    QList<GuardedFile> files;
    // Named as the subject and as whose helper files (journal, log) lie beside it.
    const auto addDataFile = [&files](const QString& path, const QString& what, const QString& whose) {
        files.append({path, what});
        for (const QString& suffix : {QStringLiteral("-journal"), QStringLiteral("-wal"), QStringLiteral("-shm")})
            files.append({ path + suffix, QStringLiteral("eine Hilfsdatei %1").arg(whose) });
    };
    addDataFile(
        paths.Datenpfad_alt, QStringLiteral("die Tavik 2.0 Datendatei"), QStringLiteral("der Tavik 2.0 Datendatei"));
    if (chosenSource)
        addDataFile(*chosenSource, QStringLiteral("die gewählte Tavik 2.0 Datendatei"),
            QStringLiteral("der gewählten Tavik 2.0 Datendatei"));
    addDataFile(
        paths.Datenpfad_neu, QStringLiteral("die Tavik 5.0 Datendatei"), QStringLiteral("der Tavik 5.0 Datendatei"));
    if (const QString backup = backupPathFor(paths.Datenpfad_neu); !backup.isEmpty())
        files.append({backup, QStringLiteral("die Sicherung der Tavik 5.0 Datendatei")});
    files.append({logPathFor(paths.Datenpfad_neu), QStringLiteral("das Protokoll des Laufs")});
    files.append({store::RunLock::lockPathFor(paths.Datenpfad_neu), QStringLiteral("die Sperrdatei des Laufs")});
    return files;
}

QString whyReportRefused(const QString& reportPath, const DataPaths& paths, const std::optional<QString>& chosenSource)
{
    const QString target = resolvedPath(reportPath);
    for (const GuardedFile& file : filesOfTheRun(paths, chosenSource)) {
        if (sameFile(reportPath, target, file.path))
            return refused.arg(reportPath, file.what);
    }
    if (isBackupOf(target, paths.Datenpfad_neu))
        return refused.arg(reportPath, QStringLiteral("eine Sicherung der Tavik 5.0 Datendatei"));
    if (QFileInfo(target).isDir())
        return refused.arg(reportPath, QStringLiteral("ein Ordner"));
    // The report is renamed over what lies there: /dev/null would become a file. And a pipe would
    // hold the run until someone reads it, already when its beginning is looked at.
    for (const QFileInfo& named : { QFileInfo(reportPath), QFileInfo(target) }) {
        if (named.exists() && !named.isFile() && !named.isDir())
            return refused.arg(reportPath, QStringLiteral("eine Gerätedatei, eine Pipe oder ein Socket"));
    }
    if (const QString what = whatMustNotBeReplaced(target); !what.isEmpty())
        return refused.arg(reportPath, what);
    const QString folder = QFileInfo(target).absolutePath();
    if (!QFileInfo(folder).isDir())
        return QStringLiteral("Der Bericht kann nicht nach \"%1\" geschrieben werden: der Ordner fehlt.").arg(reportPath);
    if (const QString why = store::whyFolderNotWritable(folder); !why.isEmpty())
        return QStringLiteral("Der Bericht kann nicht nach \"%1\" geschrieben werden. %2").arg(reportPath, why);
    return {};
}

} // namespace tavik::app
