#include "app/BatchReport.h"

#include "store/FileReplace.h"
#include "store/VisibleText.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QStringList>

namespace tavik::app {

namespace {
constexpr int skippedShown = 20;

QString seconds(double value, const QLocale& numberFormat)
{
    return numberFormat.toString(value, 'f', 1) + QStringLiteral(" s");
}

QJsonObject skippedJson(const store::SkippedOperation& operation)
{
    QJsonObject entry{{QStringLiteral("task"), operation.task},
                      {QStringLiteral("operation"), operation.operation},
                      {QStringLiteral("table"), operation.table},
                      {QStringLiteral("field"), operation.field},
                      {QStringLiteral("reason"), operation.reason}};
    entry.insert(QStringLiteral("record"), operation.recordKey ? QJsonValue(double(*operation.recordKey)) : QJsonValue());
    entry.insert(QStringLiteral("value"), operation.value.isNull() ? QJsonValue() : QJsonValue(operation.value));
    if (!operation.ownerTable.isEmpty()) {
        entry.insert(QStringLiteral("ownerTable"), operation.ownerTable);
        entry.insert(QStringLiteral("ownerRecord"),
            operation.ownerKey ? QJsonValue(double(*operation.ownerKey)) : QJsonValue());
    }
    return entry;
}
} // namespace

QString summaryTable(const BatchReport& report, const store::RunLog& log, const QLocale& numberFormat)
{
    using store::visibleText;
    int nameWidth = 8;
    int resultWidth = 8;
    for (const TaskRecord& task : report.tasks) {
        nameWidth = qMax(nameWidth, int(visibleText(task.name).size()));
        resultWidth = qMax(resultWidth, int(visibleText(task.result).size()));
    }
    QStringList lines;
    lines << QStringLiteral("%1  %2  %3  %4").arg(QStringLiteral("Aufgabe"), -nameWidth).arg(QStringLiteral("Ergebnis"), -resultWidth)
                 .arg(QStringLiteral("Übersprungen"), 12).arg(QStringLiteral("Zeit"), 8);
    for (const TaskRecord& task : report.tasks)
        lines << QStringLiteral("%1  %2  %3  %4").arg(visibleText(task.name), -nameWidth).arg(visibleText(task.result), -resultWidth)
                     .arg(task.skipped, 12).arg(seconds(task.seconds, numberFormat), 8);
    lines << QStringLiteral("Gesamtzeit: %1").arg(seconds(report.totalSeconds, numberFormat));
    if (!report.backup.isEmpty())
        lines << QStringLiteral("Sicherung: %1").arg(visibleText(report.backup));
    if (!report.keptBackup.isEmpty())
        lines << QStringLiteral("Frühere Sicherung aufbewahrt: %1").arg(visibleText(report.keptBackup));

    const auto& skipped = log.skippedOperations();
    if (!skipped.isEmpty()) {
        lines << QString() << QStringLiteral("Übersprungene Vorgänge:");
        for (int i = 0; i < qMin(int(skipped.size()), skippedShown); ++i)
            lines << QStringLiteral("  ") + store::RunLog::describe(skipped[i]);
        if (skipped.size() > skippedShown)
            lines << QStringLiteral("  … und %1 weitere (alle im Bericht mit --report)").arg(skipped.size() - skippedShown);
    }
    return lines.join(QLatin1Char('\n'));
}

QJsonObject reportJson(const BatchReport& report, const store::RunLog& log)
{
    QJsonArray tasks;
    for (const TaskRecord& task : report.tasks)
        tasks.append(QJsonObject{{QStringLiteral("name"), task.name},
                                 {QStringLiteral("result"), task.result},
                                 {QStringLiteral("counts"), task.counts},
                                 {QStringLiteral("skipped"), task.skipped},
                                 {QStringLiteral("seconds"), task.seconds}});
    QJsonArray skipped;
    for (const store::SkippedOperation& operation : log.skippedOperations())
        skipped.append(skippedJson(operation));
    return QJsonObject{{QStringLiteral("source"), report.paths.Datenpfad_alt},
                       {QStringLiteral("target"), report.paths.Datenpfad_neu},
                       {QStringLiteral("backup"), report.backup.isEmpty() ? QJsonValue() : QJsonValue(report.backup)},
                       {QStringLiteral("keptBackup"), report.keptBackup.isEmpty() ? QJsonValue() : QJsonValue(report.keptBackup)},
                       {QStringLiteral("tasks"), tasks},
                       {QStringLiteral("skipped"), skipped},
                       {QStringLiteral("totalSeconds"), report.totalSeconds},
                       {QStringLiteral("exitStatus"), report.exitStatus},
                       {QStringLiteral("message"), report.message},
                       {QStringLiteral("cause"), report.cause.isEmpty() ? QJsonValue() : QJsonValue(report.cause)}};
}

bool writeReportFile(const QString& path, const BatchReport& report, const store::RunLog& log)
{
    // It lists guests' names and values from the data files: for its owner's eyes only.
    return store::writeOwnerOnlyFile(path, QJsonDocument(reportJson(report, log)).toJson(QJsonDocument::Indented));
}

} // namespace tavik::app
