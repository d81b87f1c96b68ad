#include "app/BatchReport.h"

#include "app/SkipLimit.h"
#include "app/StartUp.h"

#include "store/StoreTexts.h"
#include "store/VisibleText.h"

#include <QStringList>

namespace tavik::app {

namespace {
QString seconds(double value, const QLocale& numberFormat)
{
    return numberFormat.toString(value, 'f', 1) + QStringLiteral(" s");
}

} // namespace

QString nothingChangedLine()
{
    return QStringLiteral("Probelauf: Es wurde nichts geändert; alle Aufgaben liefen auf Kopien in einem temporären Ordner.");
}

QString summaryTable(const BatchReport& report, const store::RunLog& log, const QLocale& numberFormat)
{
    using store::visibleText;
    int nameWidth = 8;
    int resultWidth = 8;
    for (const TaskRecord& task : report.tasks) {
        nameWidth = qMax(nameWidth, int(store::texts::taskName(task.task).size()));
        resultWidth = qMax(resultWidth, int(visibleText(task.result).size()));
    }
    QStringList lines;
    lines << QStringLiteral("%1  %2  %3  %4").arg(QStringLiteral("Aufgabe"), -nameWidth).arg(QStringLiteral("Ergebnis"), -resultWidth)
                 .arg(QStringLiteral("Übersprungen"), 12).arg(QStringLiteral("Zeit"), 8);
    for (const TaskRecord& task : report.tasks)
        lines << QStringLiteral("%1  %2  %3  %4")
                     .arg(store::texts::taskName(task.task), -nameWidth)
                     .arg(visibleText(task.result), -resultWidth)
                     .arg(task.skipped, 12)
                     .arg(seconds(task.seconds, numberFormat), 8);
    lines << QStringLiteral("Gesamtzeit: %1").arg(seconds(report.totalSeconds, numberFormat));
    if (!report.backup.isEmpty())
        lines << QStringLiteral("Sicherung: %1").arg(visibleText(report.backup));
    if (!report.keptBackup.isEmpty())
        lines << QStringLiteral("Frühere Sicherung aufbewahrt: %1").arg(visibleText(report.keptBackup));
    if (report.skipLimit) {
        lines << QStringLiteral("Grenze --max-skipped %3: %1 übersprungen, erlaubt %2")
                     .arg(report.skipLimit->skipped)
                     .arg(SkipLimit::allowedText(report.skipLimit->allowed, numberFormat), visibleText(report.skipLimit->limit));
        if (!report.skipLimit->restoredFrom.isEmpty())
            lines << QStringLiteral("Zurückgeholt aus: %1").arg(visibleText(report.skipLimit->restoredFrom));
        if (!report.skipLimit->failedCopy.isEmpty())
            lines << QStringLiteral("Fehlgeschlagene Kopie: %1").arg(visibleText(report.skipLimit->failedCopy));
    }

    if (log.skippedTotal() > 0) {
        lines << QString() << QStringLiteral("Übersprungene Vorgänge:");
        for (const store::SkippedOperation& operation : log.firstSkipped())
            lines << QStringLiteral("  ") + store::RunLog::describe(operation);
        if (log.skippedTotal() > log.firstSkipped().size()) {
            const qsizetype more = log.skippedTotal() - log.firstSkipped().size();
            // A check writes no log: its run touches no file of the hotel.
            lines << (report.check ? QStringLiteral("  … und %1 weitere (alle im Bericht mit --report)").arg(more)
                                   : QStringLiteral("  … und %1 weitere (alle im Protokoll \"%2\" und mit --report im Bericht)")
                                         .arg(more)
                                         .arg(visibleText(logPathFor(report.paths.Datenpfad_neu))));
        }
    }
    return lines.join(QLatin1Char('\n'));
}

} // namespace tavik::app
