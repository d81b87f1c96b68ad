#include "app/ReportFile.h"
#include "store/FileReplace.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

#include "AppTestFiles.h"

using namespace tavik;
using testfiles::bytesOf;

namespace {

// Values a guest's data can hold that JSON must escape or carry through as UTF-8.
QStringList oddValues()
{
    return {QStringLiteral("Zimmer \"Seeblick\" C:\\Gäste\\"), QStringLiteral("Zeile\nzwei\r\tTab\b\f"),
            QString::fromUtf16(u"\u0001\u001f\u007f ESC\u001b[31m"), QStringLiteral("Grüße – 12,50 € 🍷"),
            QString(QChar(0xd83c)) + QStringLiteral(" halbes Paar"), QString(), QStringLiteral("")};
}

store::SkippedOperation entry(int number, const QString& value)
{
    store::SkippedOperation operation { store::RunTask::Import, QStringLiteral("Verzehrzeile schreiben"),
        QStringLiteral("Verzehr"), std::nullopt, QStringLiteral("Ve%1").arg(number), value,
        QStringLiteral("keine Zahl (\"%1\")").arg(value) };
    if (number % 3 == 0) {
        operation.table = QStringLiteral("Reservierungen");
        operation.recordKey = 1000000 + number;
    } else if (number % 3 == 1) {
        operation.ownerTable = QStringLiteral("Reservierungen");
        operation.ownerKey = number;
    } else {
        operation.ownerTable = QStringLiteral("Reservierungen");
    }
    return operation;
}

// The document as QJsonDocument writes it from a tree in memory, the way reports were written
// before they were streamed.
QByteArray expectedDocument(const app::BatchReport& report, const QList<store::SkippedOperation>& operations)
{
    QJsonArray skipped;
    for (const store::SkippedOperation& operation : operations) {
        QJsonObject object { { "task", QStringLiteral("4. Daten importieren") }, { "operation", operation.operation },
            { "table", operation.table }, { "field", operation.field }, { "reason", operation.reason },
            { "record", operation.recordKey ? QJsonValue(double(*operation.recordKey)) : QJsonValue() },
            { "value", operation.value.isNull() ? QJsonValue() : QJsonValue(operation.value) } };
        if (!operation.ownerTable.isEmpty()) {
            object.insert("ownerTable", operation.ownerTable);
            object.insert("ownerRecord", operation.ownerKey ? QJsonValue(double(*operation.ownerKey)) : QJsonValue());
        }
        skipped.append(object);
    }
    // The tasks of sampleReport(): a script finds them by id, a user reads the name.
    const QList<QPair<QString, QString>> idsAndNames { { "copy", QStringLiteral("1. Datenbank kopieren") },
        { "import", QStringLiteral("4. Daten importieren") } };
    QJsonArray tasks;
    for (qsizetype index = 0; index < report.tasks.size(); ++index) {
        const app::TaskRecord& task = report.tasks.at(index);
        tasks.append(QJsonObject { { "id", idsAndNames.at(index).first }, { "name", idsAndNames.at(index).second },
            { "result", task.result }, { "counts", task.counts }, { "skipped", task.skipped },
            { "seconds", task.seconds } });
    }
    const QJsonObject document{{"source", report.paths.Datenpfad_alt}, {"target", report.paths.Datenpfad_neu},
                               {"backup", report.backup}, {"keptBackup", QJsonValue()}, {"tasks", tasks},
                               {"skipped", skipped}, {"totalSeconds", report.totalSeconds}, {"exitStatus", report.exitStatus},
                               {"message", report.message}, {"cause", QJsonValue()}, {"check", report.check},
                               {"maxSkipped", QJsonObject{{"limit", report.skipLimit->limit}, {"allowed", report.skipLimit->allowed},
                                               {"skipped", double(report.skipLimit->skipped)}, {"exceeded", report.skipLimit->exceeded},
                                               {"failedCopy", report.skipLimit->failedCopy}, {"restoredFrom", QJsonValue()}}}};
    return QJsonDocument(document).toJson(QJsonDocument::Indented);
}

app::BatchReport sampleReport(const QString& folder)
{
    app::BatchReport report;
    report.paths.Datenpfad_alt = folder + QStringLiteral("/Krone \"alt\"/tavik_20.mdb");
    report.paths.Datenpfad_neu = folder + QStringLiteral("/tavik_50.mdb");
    report.backup = folder + QStringLiteral("/tavik_50.ba0");
    report.tasks = { app::TaskRecord { store::RunTask::Copy, QStringLiteral("Datei kopiert (1,2 MB)"),
                         QJsonObject { { "bytes", 1234567.0 } }, 0, 0.25 },
        app::TaskRecord { store::RunTask::Import, QStringLiteral("3 Reservierungen"),
            QJsonObject { { "reservations", 3.0 }, { "chargeLines", 12.0 } }, 25, 1.5 } };
    report.totalSeconds = 1.75;
    report.message = QStringLiteral("Sie können jetzt Tavik 5.0 starten");
    // A nested object whose keys sort around "skipped" and "source", where the stream splits the document.
    report.skipLimit = app::SkipLimitRecord{QStringLiteral("2,5%"), 0.075, 25, true, folder + QStringLiteral("/tavik_50.x.mdb"), {}};
    return report;
}
} // namespace

// The report is streamed piece by piece; what it holds must be what the tree in memory gave.
class ReportFileTest : public QObject {
    Q_OBJECT

private slots:
    void theStreamedReportIsTheDocumentATreeGives_data()
    {
        QTest::addColumn<int>("entries");
        QTest::newRow("none skipped") << 0;
        QTest::newRow("one skipped") << 1;
        QTest::newRow("more than the terminal lists") << 45;
    }

    void theStreamedReportIsTheDocumentATreeGives()
    {
        QFETCH(int, entries);
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("bericht.json"));
        app::ReportFile file(path);
        QList<store::SkippedOperation> operations;
        for (int number = 0; number < entries; ++number) {
            operations << entry(number, oddValues().at(number % oddValues().size()));
            file.add(operations.last());
        }
        const app::BatchReport report = sampleReport(folder.path());
        QVERIFY(file.finish(report));
        file.add(entry(99, QStringLiteral("nach dem Abschluss")));

        const QByteArray written = bytesOf(path);
        QCOMPARE(written, expectedDocument(report, operations));
        QJsonParseError error;
        const QJsonArray skipped = QJsonDocument::fromJson(written, &error).object()["skipped"].toArray();
        QCOMPARE(error.error, QJsonParseError::NoError);
        for (int number = 0; number < entries; ++number)
            QCOMPARE(skipped[number].toObject()["value"].toString(), operations[number].value);
        QCOMPARE(store::fileModeOf(path), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("bericht.json")});
    }

    void aReportThatCannotBeWrittenReplacesNothing()
    {
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("fehlt/bericht.json"));
        app::ReportFile file(path);
        file.add(entry(1, QStringLiteral("x")));
        QVERIFY(!file.finish(sampleReport(folder.path())));
        QCOMPARE(QDir(folder.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
    }
};

QTEST_GUILESS_MAIN(ReportFileTest)
#include "ReportFileTest.moc"
