#pragma once

#include "import/ImportRun.h"
#include "store/Connection.h"
#include "store/DataControls.h"
#include "store/Engine.h"
#include "store/RunLog.h"
#include "tests/support/FileBytes.h"
#include "tests/support/TableRows.h"
#include "tools/SampleHotel.h"

#include <QDir>
#include <QList>
#include <QLocale>
#include <QStringList>
#include <QVariantMap>

#include <initializer_list>
#include <memory>
#include <optional>
#include <utility>

// Data files for the import's tests: an older edition's file as the source (it supplies the
// settings' rates) and the prepared copy as the target (its reservations are walked).
namespace importfixture {

using tavik::store::Connection;
using tavik::store::OpenOptions;
using tavik::store::quoteIdentifier;

inline const QLocale german(QLocale::German, QLocale::Germany);
inline const QString reservations = QStringLiteral("Reservierungen");
inline const QString charges = QStringLiteral("Verzehr");

// The fields a charge line is compared by, in this order.
inline const QStringList lineFields
    = { "Ver1", "Ver2", "Z1", "Ver3", "Ver4", "Ver5", "Ver6", "Ver8", "Ver10" };
// The fields a reservation's totals are compared by, in this order.
inline const QStringList totalFields = { "Erw17", "Erw18", "Erw19", "Erw20", "Re17" };

inline std::unique_ptr<Connection> openForWriting(const QString& path)
{
    OpenOptions options;
    options.create = true;
    return Connection::open(path, options);
}

inline QVariant orNull(const QString& text)
{
    return text == QLatin1String("<null>") ? QVariant() : QVariant(text);
}

using Fields = std::initializer_list<std::pair<const char*, const char*>>;

// A record by its fields as typed; "<null>" gives a field without value.
inline QVariantMap reservation(Fields fields)
{
    QVariantMap record;
    for (const auto& [field, value] : fields)
        record.insert(QString::fromLatin1(field), orNull(QString::fromUtf8(value)));
    return record;
}

// The settings record of a file; "<null>" leaves a rate without value.
inline void insertSettings(Connection& connection, const QString& MwSt, const QString& Zusatz10)
{
    tavik::tools::insertRecord(connection, QStringLiteral("Einstellungen"),
        { { QStringLiteral("Hotelname"), QStringLiteral("Hotel Lindenhof") },
            { QStringLiteral("MwSt"), orNull(MwSt) }, { QStringLiteral("Zusatz10"), orNull(Zusatz10) } });
}

class HotelFiles {
public:
    HotelFiles(const QString& folder, const QString& MwSt = QStringLiteral("19"),
        const QString& Zusatz10 = QStringLiteral("7"))
        : source(QDir(folder).filePath(QStringLiteral("tavik_20.mdb")))
        , target(QDir(folder).filePath(QStringLiteral("tavik_50.mdb")))
    {
        auto older = openForWriting(source);
        tavik::tools::createOlderEditionTables(*older);
        insertSettings(*older, MwSt, Zusatz10);
        auto newer = openForWriting(target);
        tavik::tools::createNewerEditionTables(*newer);
        // Different rates in the target, so that a run reading the wrong file is caught.
        insertSettings(*newer, QStringLiteral("99"), QStringLiteral("98"));
    }

    // Returns the keys of the new reservations, in their order.
    QList<qint64> addReservations(const QList<QVariantMap>& records) const
    {
        auto connection = openForWriting(target);
        QList<qint64> keys;
        for (const QVariantMap& record : records)
            keys << tavik::tools::insertRecord(*connection, reservations, record);
        return keys;
    }

    QString source;
    QString target;
};

using tavik::testsupport::bytesOf;
using tavik::testsupport::records;
using tavik::testsupport::rows;

// What the window or the batch mode would have been told.
class RecordingProgress : public tavik::import::ImportProgress {
public:
    void begin(qint32 total) override { begun = total; }
    void reservationDone(qint64 done, qint32 total) override
    {
        counters << done;
        totals << total;
    }

    std::optional<qint32> begun;
    QList<qint64> counters;
    QList<qint32> totals;
};

struct RunOutcome {
    tavik::import::ImportResult result;
    tavik::store::RunLog log;
    RecordingProgress progress;
};

// One run as the window makes it, with an engine of its own that is gone when the run returns,
// so that the files can be read afterwards as the next program would.
inline RunOutcome runOn(const QString& target, const QString& source, const QLocale& numberFormat)
{
    RunOutcome outcome;
    tavik::store::Engine engine(numberFormat);
    tavik::store::DataControls controls(engine);
    outcome.result = tavik::import::runImport(controls, target, source, outcome.progress, outcome.log, numberFormat);
    return outcome;
}

inline RunOutcome runOn(const HotelFiles& files, const QLocale& numberFormat)
{
    return runOn(files.target, files.source, numberFormat);
}

// Each skipped operation as "key:field", the way the tests name what they expect to be logged.
inline QStringList skippedKeysAndFields(const tavik::store::RunLog& log)
{
    QStringList entries;
    for (const tavik::store::SkippedOperation& operation : log.firstSkipped())
        entries << (operation.recordKey ? QString::number(*operation.recordKey) : QStringLiteral("-"))
                + QLatin1Char(':') + operation.field;
    return entries;
}

} // namespace importfixture
