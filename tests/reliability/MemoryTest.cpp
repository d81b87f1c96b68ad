#include "MigrationProgram.h"

#include "store/Connection.h"
#include "tools/SampleHotel.h"

#include <QtTest>

using namespace tavik;
using namespace tavik::reliability;

namespace {
// Every price line of a reservation with an amount and a rate that are no numbers: each is
// written, and each amount and each rate is one skipped operation.
const QString oddPriceLines = QStringLiteral(
    "UPDATE \"Reservierungen\" SET \"Re11\" = 'Halbpension', \"Re12\" = 'n.a.', \"Erw17\" = 'x', "
    "\"Re13\" = 'Minibar', \"Re14\" = 'n.a.', \"Erw18\" = 'x', \"Re15\" = 'Garage', \"Re16\" = 'n.a.', \"Erw19\" = 'x', "
    "\"Re21\" = 'Zustellbett', \"Re22\" = 'n.a.', \"Erw20\" = 'x', \"Re23\" = 'Telefon', \"Re24\" = 'n.a.', \"Erw21\" = 'x', "
    "\"Spare1\" = 'Kurtaxe', \"Spare2\" = 'n.a.'");
constexpr int skipsPerReservation = 11;
// What a run may grow by between the two sizes: the larger source file's pages the engine caches,
// allocator slack, and the operations waiting for the log's writer, at most 8,192 of them, which a
// longer run on a busy machine fills more often. Keeping each skipped operation took over 1 KiB,
// 180,000 more of them over 200 MB.
constexpr long toleratedGrowthKiB = 8 * 1024;
} // namespace

// A hotel whose data skip hundreds of thousands of operations must not need memory for each.
class MemoryTest : public QObject {
    Q_OBJECT

private:
    // The batch run's peak memory, with a report, on a source that skips about that many operations.
    long peakKiBWithSkips(int skips)
    {
        MigrationFolder migration;
        if (!migration.isValid())
            return -1;
        tools::writeOlderEditionFile(migration.source(), tools::SampleOptions { skips / skipsPerReservation, 2003, {} });
        tools::writeNewerEditionFile(migration.target());
        store::Connection::open(migration.source(), store::OpenOptions {})->execute(oddPriceLines);
        const std::optional<long> peak = peakMemoryOfRun(
            migration.environment(), batchArguments({ QStringLiteral("--report"), migration.path(QStringLiteral("bericht.json")) }));
        return peak.value_or(-1);
    }

private slots:
    void memoryDoesNotGrowWithTheSkippedOperations()
    {
#if defined(__SANITIZE_ADDRESS__)
        QSKIP("the address sanitizer keeps freed memory in quarantine, so the peak says nothing about the program");
#endif
        const long few = peakKiBWithSkips(20000);
        const long many = peakKiBWithSkips(200000);
        QVERIFY2(few > 0 && many > 0, "a run did not end with status 0");
        qInfo("peak %ld KiB with 20,000 skipped, %ld KiB with 200,000", few, many);
        QVERIFY2(many - few < toleratedGrowthKiB,
            qPrintable(QStringLiteral("peak %1 KiB with 20,000 skipped, %2 KiB with 200,000").arg(few).arg(many)));
    }
};

QTEST_GUILESS_MAIN(MemoryTest)
#include "MemoryTest.moc"
