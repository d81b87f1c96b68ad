#include "import/ImportRun.h"
#include "store/Connection.h"
#include "store/DataControls.h"
#include "store/Engine.h"
#include "store/RunLog.h"
#include "tests/fuzz/FuzzSupport.h"
#include "tests/support/ChargeTotals.h"
#include "tests/support/FileBytes.h"
#include "tests/support/TableRows.h"
#include "tools/SampleHotel.h"

#include <QByteArray>
#include <QList>
#include <QLocale>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <cstdint>
#include <memory>

// One reservation whose fields come from the input runs through the import. The input is one field
// per line in the order of fieldOrder(), after a first line naming the number format ("C" or
// anything else for German); "\N" or a missing line is a field without value.

using fuzzsupport::requireThat;
using tavik::store::Connection;
using tavik::store::OpenOptions;
using tavik::testsupport::bytesOf;
using tavik::testsupport::records;

namespace {

// The data files' text fields hold at most 50 characters; longer input would be refused on insert.
constexpr qsizetype fieldBytes = 50;
const QString reservationsTable = QStringLiteral("Reservierungen");
const QString chargesTable = QStringLiteral("Verzehr");

struct Input {
    QLocale numberFormat;
    QVariantMap settings; // Einstellungen of the source
    QVariantMap reservation; // the one reservation of the target
};

// The settings' two rates, the reservation's own rate and employee, then every field the charge
// lines are made of.
QStringList fieldOrder()
{
    QStringList fields { QStringLiteral("MwSt"), QStringLiteral("Zusatz10"), QStringLiteral("Re18"),
        QStringLiteral("Erw14") };
    for (int element = 0; element < 25; ++element) {
        if (const QString field = tavik::store::DataControls::reservationFieldOf(element); !field.isEmpty())
            fields << field;
    }
    return fields;
}

Input parse(const QByteArray& bytes, const QStringList& fields)
{
    const QList<QByteArray> lines = bytes.split('\n');
    Input input;
    input.numberFormat = lines.value(0) == "C" ? QLocale::c() : QLocale(QLocale::German, QLocale::Germany);
    for (qsizetype i = 0; i < fields.size(); ++i) {
        const qsizetype line = i + 1;
        const QVariant value = line >= lines.size() || lines[line] == "\\N"
            ? QVariant()
            : QVariant(QString::fromUtf8(lines[line].left(fieldBytes)));
        QVariantMap& record = i < 2 ? input.settings : input.reservation;
        record.insert(fields[i], value);
    }
    input.settings.insert(QStringLiteral("Hotelname"), QStringLiteral("Hotel Lindenhof"));
    return input;
}

class SilentProgress : public tavik::import::ImportProgress {
public:
    void begin(qint32) override { }
    void reservationDone(qint64, qint32) override { }
};

std::unique_ptr<Connection> openForWriting(const QString& path, bool create)
{
    OpenOptions options;
    options.create = create;
    return Connection::open(path, options);
}

QString textOf(const QVariantMap& record, const char* field)
{
    return record.value(QString::fromLatin1(field)).toString();
}

// The lines a reservation must get: one per kind whose text field holds any text.
int expectedLineCount(const QVariantMap& reservation)
{
    int count = 0;
    for (const char* textField : { "Opt1", "Re11", "Re13", "Re15", "Re21", "Re23", "Spare1" })
        count += textOf(reservation, textField).isEmpty() ? 0 : 1;
    return count;
}

class ChargeLineBench {
public:
    ChargeLineBench()
        : fields_(fieldOrder())
        , source_(scratch_.filePath(QStringLiteral("tavik_20.mdb")))
        , target_(scratch_.filePath(QStringLiteral("tavik_50.mdb")))
    {
        tavik::tools::createOlderEditionTables(*openForWriting(source_, true));
        tavik::tools::createNewerEditionTables(*openForWriting(target_, true));
        emptySource_ = bytesOf(source_);
        emptyTarget_ = bytesOf(target_);
        requireThat(!emptySource_.isEmpty() && !emptyTarget_.isEmpty(), "leere Dateien angelegt");
    }

    void run(const QByteArray& bytes)
    {
        const Input input = parse(bytes, fields_);
        const qint64 key = writeFiles(input);
        const QByteArray sourceBefore = bytesOf(source_);
        const tavik::import::ImportResult result = runImport(input.numberFormat);
        requireThat(bytesOf(source_) == sourceBefore, "die ältere Datei bleibt unverändert");
        requireThat(
            result.walkBegan && result.reservationsWalked == 1, "die Buchung wird gelesen", result.errorText);
        checkLines(input, key, result);
    }

private:
    qint64 writeFiles(const Input& input)
    {
        requireThat(tavik::testsupport::writeFile(source_, emptySource_)
                && tavik::testsupport::writeFile(target_, emptyTarget_),
            "Dateien schreibbar");
        tavik::tools::insertRecord(
            *openForWriting(source_, false), QStringLiteral("Einstellungen"), input.settings);
        auto target = openForWriting(target_, false);
        // Other rates in the target, so that a run reading the wrong file's settings is caught.
        tavik::tools::insertRecord(*target, QStringLiteral("Einstellungen"),
            { { QStringLiteral("MwSt"), QStringLiteral("99") },
                { QStringLiteral("Zusatz10"), QStringLiteral("98") } });
        return tavik::tools::insertRecord(*target, reservationsTable, input.reservation);
    }

    tavik::import::ImportResult runImport(const QLocale& numberFormat)
    {
        tavik::store::Engine engine(numberFormat);
        tavik::store::DataControls controls(engine);
        tavik::store::RunLog log;
        SilentProgress progress;
        return tavik::import::runImport(controls, target_, source_, progress, log, numberFormat);
    }

    void checkLines(const Input& input, qint64 key, const tavik::import::ImportResult& result)
    {
        const QList<QVariantMap> lines = records(target_, chargesTable);
        requireThat(
            lines.size() == expectedLineCount(input.reservation) && result.chargeLinesWritten == lines.size(),
            "eine Zeile je Posten mit Text", QString::number(lines.size()));
        for (const QVariantMap& line : lines)
            requireThat(
                textOf(line, "Ver6") == QString::number(key) && textOf(line, "Ver10") == QLatin1String("ZR"),
                "jede Zeile nennt ihre Buchung und ihre Herkunft");
        checkTotals(input, lines, records(target_, reservationsTable).value(0));
    }

    static void checkTotals(const Input& input, const QList<QVariantMap>& lines, const QVariantMap& after)
    {
        const QLocale& format = input.numberFormat;
        const tavik::testsupport::SettingsRates settings
            = tavik::testsupport::readSettingsRates(input.settings.value(QStringLiteral("MwSt")).toString(),
                input.settings.value(QStringLiteral("Zusatz10")).toString(), format);
        const QStringList written { textOf(after, "Erw17"), textOf(after, "Erw18"), textOf(after, "Erw19"),
            textOf(after, "Re17") };
        const QStringList summed = tavik::testsupport::totalTexts(
            tavik::testsupport::totalsOfLines(lines, textOf(after, "Re18"), settings, format), format);
        requireThat(written == summed, "die Summen sind die Zeilen nach Steuersatz",
            QStringLiteral("geschrieben %1, aus den Zeilen %2").arg(written.join(u'|'), summed.join(u'|')));
        requireThat(textOf(after, "Erw20") == input.reservation.value(QStringLiteral("Spare2")).toString(),
            "die Kurtaxe steht in Erw20", textOf(after, "Erw20"));
    }

    fuzzsupport::ScratchFolder scratch_;
    QStringList fields_;
    QString source_;
    QString target_;
    QByteArray emptySource_;
    QByteArray emptyTarget_;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // libFuzzer's entry point has no context to carry it; the empty files are made once per process.
    static ChargeLineBench bench;
    bench.run(QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size)));
    return 0;
}
