#include "store/BackgroundSink.h"

#include <QtTest>

#include <stdexcept>

using namespace tavik::store;

namespace {

SkippedOperation numbered(qint64 key)
{
    return SkippedOperation { RunTask::Import, QStringLiteral("Betrag summieren"), QStringLiteral("Reservierungen"),
        key, QStringLiteral("Re10"), QString::number(key), QStringLiteral("keine Zahl") };
}

// Keeps the keys it was given, and fails at one of them when told to.
class KeyRecorder : public SkippedSink {
public:
    explicit KeyRecorder(qint64 failAt = -1)
        : failAt_(failAt)
    {
    }
    void add(const SkippedOperation& operation) override
    {
        if (*operation.recordKey == failAt_)
            throw std::runtime_error("Datenträger voll");
        keys << *operation.recordKey;
        values << operation.value;
    }
    QList<qint64> keys;
    QStringList values;

private:
    qint64 failAt_;
};

class Keeper : public SkippedSink {
public:
    void add(const SkippedOperation& operation) override { kept.push_back(operation); }
    std::vector<SkippedOperation> kept;
};

QList<qint64> keysUpTo(qint64 last)
{
    QList<qint64> keys;
    for (qint64 key = 1; key <= last; ++key)
        keys << key;
    return keys;
}

} // namespace

// The log and the report get the skipped operations on a thread of their own: nothing may be lost,
// reordered or reported as written when a sink failed.
class BackgroundSinkTest : public QObject {
    Q_OBJECT

private slots:
    void everyOperationReachesEverySinkInOrder();
    void whatASinkThrowsComesOutOfFinish();
    void anOperationArrivesAsItWasGiven();
};

void BackgroundSinkTest::everyOperationReachesEverySinkInOrder()
{
    KeyRecorder log;
    KeyRecorder report;
    // More than wait in memory at once, and a last block that is not full.
    constexpr qint64 count = 60'000 + 17;
    {
        BackgroundSink sink({ &log, &report });
        for (qint64 key = 1; key <= count; ++key)
            sink.add(numbered(key));
        sink.finish();
        QCOMPARE(log.keys, keysUpTo(count));
        QCOMPARE(report.keys, keysUpTo(count));
        QCOMPARE(report.values.last(), QString::number(count));
        sink.add(numbered(count + 1)); // after the finish, at once
        QCOMPARE(log.keys.size(), count + 1);
    }
    // A sink finished by its destructor alone still hands on everything.
    KeyRecorder late;
    {
        BackgroundSink sink({ &late });
        sink.add(numbered(1));
    }
    QCOMPARE(late.keys, keysUpTo(1));
}

void BackgroundSinkTest::whatASinkThrowsComesOutOfFinish()
{
    KeyRecorder failing(300);
    BackgroundSink sink({ &failing });
    for (qint64 key = 1; key <= 1000; ++key)
        sink.add(numbered(key));
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, sink.finish());
    QCOMPARE(failing.keys, keysUpTo(299));
    sink.finish(); // said once
}

// The report tells no value from an empty one, and names the engine's code and its owner record.
void BackgroundSinkTest::anOperationArrivesAsItWasGiven()
{
    SkippedOperation whole { RunTask::Import, QStringLiteral("Zeile speichern"), QStringLiteral("Verzehr"),
        std::nullopt, QString(), QStringLiteral("Zimmer \u00fc \U0001F600\n"), QStringLiteral("Datenträger voll"),
        QStringLiteral("Reservierungen"), 42, 13, QStringLiteral("database or disk is full") };
    SkippedOperation empty = numbered(7);
    empty.value = QStringLiteral("");
    Keeper keeper;
    BackgroundSink sink({ &keeper });
    sink.add(whole);
    sink.add(empty);
    sink.add(numbered(8));
    sink.finish();
    QCOMPARE(keeper.kept.size(), 3u);
    const SkippedOperation& first = keeper.kept[0];
    QCOMPARE(first.task, whole.task);
    QCOMPARE(first.recordKey, whole.recordKey);
    QVERIFY(first.field.isNull());
    QCOMPARE(first.value, whole.value);
    QCOMPARE(first.reason, whole.reason);
    QCOMPARE(first.ownerTable, whole.ownerTable);
    QCOMPARE(first.ownerKey, whole.ownerKey);
    QCOMPARE(first.sqliteCode, whole.sqliteCode);
    QCOMPARE(first.sqliteMessage, whole.sqliteMessage);
    QVERIFY(!keeper.kept[1].value.isNull());
    QVERIFY(keeper.kept[1].value.isEmpty());
    QCOMPARE(keeper.kept[2].value, QStringLiteral("8"));
    QVERIFY(!keeper.kept[2].ownerKey);
}

QTEST_GUILESS_MAIN(BackgroundSinkTest)
#include "BackgroundSinkTest.moc"
