#include "app/ReportFile.h"
#include "app/ReportPath.h"
#include "store/FileReplace.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

#include "AppTestFiles.h"

#include <map>

#include <sys/stat.h>

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

// The document with its top-level fields in sorted order, as QJsonDocument writes them: each field
// and entry byte for byte as it was written.
QByteArray withSortedFields(const QByteArray& document, QStringList& keys)
{
    std::map<QString, QByteArrayList> fields;
    QByteArrayList* field = nullptr;
    for (const QByteArray& line : document.sliced(2, document.size() - 5).split('\n')) {
        if (line.startsWith("    \"")) { // a field of the report itself: its own members stand deeper
            keys << QString::fromUtf8(line.sliced(5, line.indexOf('"', 5) - 5));
            field = &fields[keys.last()];
        }
        if (!field)
            return {};
        *field << line;
    }
    QByteArrayList sorted;
    for (auto& [name, lines] : fields) {
        if (lines.last().endsWith(','))
            lines.last().chop(1);
        sorted << lines.join('\n');
    }
    return "{\n" + sorted.join(",\n") + "\n}\n";
}
} // namespace

// The report is written piece by piece as the run goes; what it holds must be what the tree in
// memory gave, with the fields known at the start before the skipped operations.
class ReportFileTest : public QObject {
    Q_OBJECT

private slots:
    void theStreamedReportIsTheDocumentATreeGives_data()
    {
        QTest::addColumn<int>("entries");
        QTest::addColumn<bool>("started");
        QTest::newRow("none skipped") << 0 << true;
        QTest::newRow("one skipped") << 1 << true;
        QTest::newRow("more than the terminal lists") << 45 << true;
        QTest::newRow("many write pieces, one entry larger than a piece") << 4000 << true;
        QTest::newRow("run ended before it reported") << 0 << false;
    }

    void theStreamedReportIsTheDocumentATreeGives()
    {
        QFETCH(int, entries);
        QFETCH(bool, started);
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("bericht.json"));
        const app::BatchReport report = sampleReport(folder.path());
        app::ReportFile file(path);
        if (started) {
            app::BatchReport known = report;
            known.tasks.clear();
            known.message.clear();
            file.start(known);
        }
        QList<store::SkippedOperation> operations;
        for (int number = 0; number < entries; ++number) {
            // A megabyte text as old data files hold them: more than the file gathers before it writes.
            const QString value
                = number == 1000 ? QString(300000, u'\u00fc') : oddValues().at(number % oddValues().size());
            operations << entry(number, value);
            file.add(operations.last());
        }
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden), QStringList()); // named only when complete
        QVERIFY(file.finish(report));
        file.add(entry(99, QStringLiteral("nach dem Abschluss")));

        const QByteArray written = bytesOf(path);
        QStringList keys;
        QCOMPARE(withSortedFields(written, keys), expectedDocument(report, operations));
        QCOMPARE(keys,
            QStringList({ "backup", "check", "keptBackup", "target", "skipped", "cause", "exitStatus", "maxSkipped",
                "message", "source", "tasks", "totalSeconds" }));
        QJsonParseError error;
        const QJsonArray skipped = QJsonDocument::fromJson(written, &error).object()["skipped"].toArray();
        QCOMPARE(error.error, QJsonParseError::NoError);
        for (int number = 0; number < entries; ++number)
            QCOMPARE(skipped[number].toObject()["value"].toString(), operations[number].value);
        QCOMPARE(store::fileModeOf(path), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("bericht.json")});
    }

    // A report replaces only an earlier report, known by its first fields, in the order of this or an earlier version.
    void anEarlierReportIsKnownByItsFirstFields_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("replaced");
        const app::BatchReport report = sampleReport(QStringLiteral("/srv/hotel"));
        QTest::newRow("every field sorted") << expectedDocument(report, {}) << true;
        QTest::newRow("fields known at the start first") << QByteArray() << true;
        QTest::newRow("another program's JSON with a check")
            << QByteArray(R"({"backup": null, "check": "ja", "keptBackup": null})") << false;
        QTest::newRow("another program's JSON, compact") << QByteArray(R"({"backup":"x","checked":true})") << false;
    }

    void anEarlierReportIsKnownByItsFirstFields()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, replaced);
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("bericht.json"));
        if (content.isEmpty()) {
            app::ReportFile file(path);
            QVERIFY(file.finish(sampleReport(folder.path())));
        } else {
            QVERIFY(store::writeOwnerOnlyFile(path, content));
        }
        const app::DataPaths paths { folder.filePath(QStringLiteral("tavik_20.mdb")),
            folder.filePath(QStringLiteral("tavik_50.mdb")) };
        const QString why = app::whyReportRefused(path, paths, std::nullopt);
        QVERIFY2(why.isEmpty() == replaced, qPrintable(why));
    }

    // Renamed over /dev/null the report would replace the device; a pipe would hold the run.
    void aReportReplacesNoDeviceOrPipe()
    {
        QTemporaryDir folder;
        const QString pipe = folder.filePath(QStringLiteral("bericht.json"));
        QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
        const QString linkToNull = folder.filePath(QStringLiteral("null.json"));
        QVERIFY(QFile::link(QStringLiteral("/dev/null"), linkToNull));
        const app::DataPaths paths { folder.filePath(QStringLiteral("tavik_20.mdb")),
            folder.filePath(QStringLiteral("tavik_50.mdb")) };
        // The pipe last: looked at as a file it would hold the test.
        for (const QString& path : { QStringLiteral("/dev/null"), linkToNull, pipe }) {
            const QString why = app::whyReportRefused(path, paths, std::nullopt);
            QVERIFY2(why.contains(QStringLiteral("eine Gerätedatei, eine Pipe oder ein Socket")), qPrintable(why));
        }
    }

    void aReportThatCannotBeWrittenReplacesNothing()
    {
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("fehlt/bericht.json"));
        app::ReportFile file(path);
        file.start(sampleReport(folder.path()));
        file.add(entry(1, QStringLiteral("x")));
        QVERIFY(!file.finish(sampleReport(folder.path())));
        QCOMPARE(QDir(folder.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
    }
};

QTEST_GUILESS_MAIN(ReportFileTest)
#include "ReportFileTest.moc"
