#include "ImportFixture.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace importfixture;

namespace {

const QVariantMap doubleRoomTwoNights = reservation({ { "Opt1", "Doppelzimmer" }, { "Re6", "2" },
    { "Erw16", "19" }, { "Re9", "89,00" }, { "Re10", "178,00" } });
const QStringList doubleRoomTotals { "178|0|0|<null>|178" };

QVariantMap with(QVariantMap record, Fields fields)
{
    record.insert(reservation(fields));
    return record;
}

QVariantMap board(const char* rate, const char* amount)
{
    return reservation({ { "Re11", "Frühstück" }, { "Erw17", rate }, { "Re12", amount } });
}

struct Settings {
    QLocale numberFormat = german;
    const char* MwSt = "19";
    const char* Zusatz10 = "7";
};

// lines: Ver1|Ver2|Z1|Ver3|Ver4|Ver5|Ver6|Ver8|Ver10; totals: Erw17|Erw18|Erw19|Erw20|Re17 of each
// reservation; skipped: "key:field" of each operation the run skipped.
void addRow(const char* name, const QList<QVariantMap>& reservations, const QStringList& lines,
    const QStringList& totals, const QStringList& skipped = {}, const Settings& settings = {})
{
    QTest::newRow(name) << settings.numberFormat << QString::fromLatin1(settings.MwSt)
                        << QString::fromLatin1(settings.Zusatz10) << reservations << lines << totals
                        << skipped;
}

} // namespace

// Each reservation's price lines as charge lines, and its totals, checked in the files.
class ChargeLineTest : public QObject {
    Q_OBJECT

private:
    void addRoomLineRows();
    void addQuantityAndNightRows();
    void addKindRows();
    void addRateRows();
    void addAmountRows();
    void addChosenBehaviourRows();

private slots:
    void reservationsBecomeLinesAndTotals_data();
    void reservationsBecomeLinesAndTotals();
    void fieldsThatNoLineWritesStayEmpty();
};

void ChargeLineTest::reservationsBecomeLinesAndTotals_data()
{
    QTest::addColumn<QLocale>("numberFormat");
    QTest::addColumn<QString>("MwSt");
    QTest::addColumn<QString>("Zusatz10");
    QTest::addColumn<QList<QVariantMap>>("reservations");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QStringList>("totals");
    QTest::addColumn<QStringList>("skipped");
    addRoomLineRows();
    addQuantityAndNightRows();
    addKindRows();
    addRateRows();
    addAmountRows();
    addChosenBehaviourRows();
}

void ChargeLineTest::addRoomLineRows()
{
    addRow("room line alone, two nights at the standard rate", { doubleRoomTwoNights },
        { "1|1|Doppelzimmer - 2 Nächte |19|89,00|178,00|1|Zimmerangebot|ZR" }, doubleRoomTotals);
    addRow("employee's sign closes the room text", { with(doubleRoomTwoNights, { { "Erw14", "AB" } }) },
        { "1|1|Doppelzimmer - 2 Nächte [AB]|19|89,00|178,00|1|Zimmerangebot|ZR" }, doubleRoomTotals);
    addRow("room rate 7,50 is stored as the number it read",
        { with(doubleRoomTwoNights, { { "Erw16", "7,50" } }) },
        { "1|1|Doppelzimmer - 2 Nächte |7,5|89,00|178,00|1|Zimmerangebot|ZR" }, { "0|178|0|<null>|178" }, {},
        { .Zusatz10 = "7,5" });
    addRow("empty room rate falls back to Re18, board keeps its empty rate but sums under it",
        { reservation({ { "Opt1", "Einzelzimmer" }, { "Re6", "1" }, { "Erw16", "" }, { "Re18", "7" },
            { "Re9", "60,00" }, { "Re10", "60,00" }, { "Re11", "Frühstück" }, { "Erw17", "" },
            { "Re12", "12,00" } }) },
        { "1|1|Einzelzimmer - 1 Nacht |7|60,00|60,00|1|Zimmerangebot|ZR",
            "|2|Frühstück|||12,00|1|Verpflegung|ZR" },
        { "0|72|0|<null>|72" });
}

void ChargeLineTest::addQuantityAndNightRows()
{
    const struct {
        const char* row;
        const char* Erw12;
        const char* Ver1;
        QStringList skipped;
    } quantities[] = {
        { "quantity 4", "4", "4", {} },
        { "quantity 1", "1", "1", {} },
        { "quantity empty gives 1", "", "1", {} },
        { "quantity 1.5 rounds to 2", "1.5", "2", {} },
        { "quantity 2.5 rounds to the even 2", "2.5", "2", {} },
        { "quantity 3.5 rounds to the even 4", "3.5", "4", {} },
        { "quantity 2,5 reads up to the comma", "2,5", "2", {} },
        { "quantity 40000 does not fit in 16 bits and stays 1", "40000", "1", { "1:Erw12" } },
    };
    for (const auto& quantity : quantities) {
        const QString line
            = QStringLiteral("%1|1|Doppelzimmer - 2 Nächte |19|89,00|178,00|1|Zimmerangebot|ZR");
        addRow(quantity.row, { with(doubleRoomTwoNights, { { "Erw12", quantity.Erw12 } }) },
            { line.arg(QLatin1String(quantity.Ver1)) }, doubleRoomTotals, quantity.skipped);
    }

    const struct {
        const char* row;
        QLocale numberFormat;
        const char* Re6;
        const char* nights;
    } nights[] = {
        { "one night", german, "1", "1 Nacht " },
        { "seven nights", german, "7", "7 Nächte " },
        { "two and a half nights, German", german, "2.5", "2,5 Nächte " },
        { "two and a half nights, C", QLocale::c(), "2.5", "2.5 Nächte " },
        { "nights without a number", german, "", "0 Nächte " },
    };
    for (const auto& night : nights) {
        const QString line = QStringLiteral("1|1|Doppelzimmer - %1|19|89,00|178,00|1|Zimmerangebot|ZR");
        addRow(night.row, { with(doubleRoomTwoNights, { { "Re6", night.Re6 } }) },
            { line.arg(QString::fromUtf8(night.nights)) }, doubleRoomTotals, {},
            { .numberFormat = night.numberFormat });
    }
}

void ChargeLineTest::addKindRows()
{
    addRow("all seven kinds in their order",
        { reservation({ { "Opt1", "Doppelzimmer" }, { "Re6", "3" }, { "Erw16", "7" }, { "Re9", "80,00" },
            { "Re10", "240,00" }, { "Erw12", "2" }, { "Erw14", "MK" }, { "Re18", "7" },
            { "Re11", "Halbpension" }, { "Erw17", "19" }, { "Re12", "168,00" }, { "Re13", "Parkplatz" },
            { "Erw18", "19" }, { "Re14", "24,00" }, { "Re15", "Minibar" }, { "Erw19", "19" },
            { "Re16", "6,50" }, { "Re21", "Zustellbett" }, { "Erw20", "7" }, { "Re22", "60,00" },
            { "Re23", "Lunchpaket" }, { "Erw21", "7" }, { "Re24", "7,50" }, { "Spare1", "Kurtaxe" },
            { "Spare2", "15,00" } }) },
        { "2|1|Doppelzimmer - 3 Nächte [MK]|7|80,00|240,00|1|Zimmerangebot|ZR",
            "|2|Halbpension|19||168,00|1|Verpflegung|ZR", "|3|Parkplatz|19||24,00|1|<null>|ZR",
            "|4|Minibar|19||6,50|1|<null>|ZR", "|5|Zustellbett|7||60,00|1|<null>|ZR",
            "|6|Lunchpaket|7||7,50|1|<null>|ZR", "|7|Kurtaxe|0||15,00|1|Steuer/Kurtaxe|ZR" },
        { "198,5|307,5|15|15,00|521" });
    addRow("extra line 2 alone has no category",
        { reservation({ { "Re15", "Garage" }, { "Erw19", "19" }, { "Re16", "12,00" } }) },
        { "|1|Garage|19||12,00|1|<null>|ZR" }, { "12|0|0|<null>|12" });
    addRow("board amount without board text writes nothing and says so",
        { reservation({ { "Re11", "<null>" }, { "Erw17", "19" }, { "Re12", "24,00" } }) }, {}, { "0|0|0|<null>|0" },
        { "1:Re12" });
    addRow("no price line at all still gets its totals",
        { reservation({ { "Re1", "Müller, Hans" }, { "Spare2", "3,00" } }) }, {}, { "0|0|0|3,00|0" });
    addRow("tourist tax 2.50 goes into the zero sum",
        { reservation({ { "Spare1", "Kurtaxe" }, { "Spare2", "2.50" } }) },
        { "|1|Kurtaxe|0||2.50|1|Steuer/Kurtaxe|ZR" }, { "0|0|2,5|2.50|2,5" });
    addRow("tourist tax without its text writes nothing",
        { reservation({ { "Spare1", "" }, { "Spare2", "5,00" } }) }, {}, { "0|0|0|5,00|0" });
    addRow("line numbers run on across reservations",
        { reservation({ { "Opt1", "Einzelzimmer" }, { "Re6", "1" }, { "Erw16", "7" }, { "Re10", "60,00" },
              { "Re11", "Frühstück" }, { "Erw17", "19" }, { "Re12", "12,00" }, { "Spare1", "Kurtaxe" },
              { "Spare2", "2,50" } }),
            reservation({ { "Re13", "Sauna" }, { "Erw18", "19" }, { "Re14", "6,00" }, { "Re23", "Telefon" },
                { "Erw21", "19" }, { "Re24", "3,40" } }) },
        { "1|1|Einzelzimmer - 1 Nacht |7||60,00|1|Zimmerangebot|ZR",
            "|2|Frühstück|19||12,00|1|Verpflegung|ZR", "|3|Kurtaxe|0||2,50|1|Steuer/Kurtaxe|ZR",
            "|4|Sauna|19||6,00|2|<null>|ZR", "|5|Telefon|19||3,40|2|<null>|ZR" },
        { "12|60|2,5|2,50|74,5", "9,4|0|0|<null>|9,4" });
}

void ChargeLineTest::addRateRows()
{
    addRow("equal settings rates take the line into both sums",
        { reservation({ { "Re13", "Zustellbett" }, { "Erw18", "7" }, { "Re14", "20,00" } }) },
        { "|1|Zustellbett|7||20,00|1|<null>|ZR" }, { "20|20|0|<null>|40" }, {}, { .MwSt = "7" });
    addRow("rate 0 with a second rate of 0 goes into the second and the zero sum", { board("0", "10,00") },
        { "|1|Frühstück|0||10,00|1|Verpflegung|ZR" }, { "0|10|10|<null>|20" }, {}, { .Zusatz10 = "0" });
    addRow("rate of no settings rate goes into no sum", { board("16", "10,00") },
        { "|1|Frühstück|16||10,00|1|Verpflegung|ZR" }, { "0|0|0|<null>|0" });
    addRow("rate 19,0 reads as 19 in German", { board("19,0", "10,00") },
        { "|1|Frühstück|19,0||10,00|1|Verpflegung|ZR" }, { "10|0|0|<null>|10" });
    addRow("rate 19,0 is not a number in C", { board("19,0", "10.00") },
        { "|1|Frühstück|19,0||10.00|1|Verpflegung|ZR" }, { "0|0|0|<null>|0" }, { "1:Erw17" },
        { .numberFormat = QLocale::c() });
    addRow("settings rate without value matches no line", { board("19", "9,00") },
        { "|1|Frühstück|19||9,00|1|Verpflegung|ZR" }, { "0|0|0|<null>|0" }, { "-:MwSt" },
        { .MwSt = "<null>" });
}

void ChargeLineTest::addAmountRows()
{
    addRow("zero amounts with two decimals are blanked, 0 and 0,0 are not",
        { reservation({ { "Opt1", "Suite" }, { "Re6", "1" }, { "Erw16", "7" }, { "Re9", "0,00" },
            { "Re10", "0,00" }, { "Re11", "Frühstück" }, { "Erw17", "19" }, { "Re12", "0.00" },
            { "Re13", "Sauna" }, { "Erw18", "19" }, { "Re14", "0" }, { "Re15", "Hund" }, { "Erw19", "19" },
            { "Re16", "0,0" } }) },
        { "1|1|Suite - 1 Nacht ||||1|Zimmerangebot|ZR", "|2|Frühstück||||1|Verpflegung|ZR",
            "|3|Sauna|19||0|1|<null>|ZR", "|4|Hund|19||0,0|1|<null>|ZR" },
        { "0|0|0|<null>|0" });
    addRow("amount 89.50 typed with a point is 89,5 in German", { board("19", "89.50") },
        { "|1|Frühstück|19||89.50|1|Verpflegung|ZR" }, { "89,5|0|0|<null>|89,5" });
    addRow("amount 89,50 typed with a comma is 89.5 in C", { board("19", "89,50") },
        { "|1|Frühstück|19||89,50|1|Verpflegung|ZR" }, { "89.5|0|0|<null>|89.5" }, {},
        { .numberFormat = QLocale::c() });
    addRow("amount with grouping is not a number", { board("19", "1.234,50") },
        { "|1|Frühstück|19||1.234,50|1|Verpflegung|ZR" }, { "0|0|0|<null>|0" }, { "1:Re12" });
    addRow("line without amount is stored and summed nowhere", { board("19", "<null>") },
        { "|1|Frühstück|19|||1|Verpflegung|ZR" }, { "0|0|0|<null>|0" }, { "1:Re12" });
}

void ChargeLineTest::addChosenBehaviourRows()
{
    addRow("unreadable rates leave the line out of every sum, and no rate is inherited",
        { reservation({ { "Opt1", "Doppelzimmer" }, { "Re6", "2" }, { "Erw16", "19%" }, { "Re10", "178,00" },
            { "Re11", "Frühstück" }, { "Erw17", "19" }, { "Re12", "24,00" }, { "Re13", "Sauna" },
            { "Erw18", "neunzehn" }, { "Re14", "6,00" } }) },
        { "1|1|Doppelzimmer - 2 Nächte |||178,00|1|Zimmerangebot|ZR",
            "|2|Frühstück|19||24,00|1|Verpflegung|ZR", "|3|Sauna|neunzehn||6,00|1|<null>|ZR" },
        { "24|0|0|<null>|24" }, { "1:Erw16", "1:Erw18" });
    addRow("unreadable Re18 behind empty rates",
        { reservation({ { "Opt1", "Suite" }, { "Re6", "1" }, { "Erw16", "" }, { "Re18", "" },
            { "Re10", "150,00" }, { "Re11", "Frühstück" }, { "Erw17", "" }, { "Re12", "12,00" } }) },
        { "1|1|Suite - 1 Nacht |||150,00|1|Zimmerangebot|ZR", "|2|Frühstück|||12,00|1|Verpflegung|ZR" },
        { "0|0|0|<null>|0" }, { "1:Re18", "1:Re18" });
    addRow("less than one night reads as Nächte, not as the wording before",
        { reservation({ { "Opt1", "Einzelzimmer" }, { "Re6", "1" }, { "Erw16", "19" }, { "Re10", "60,00" } }),
            reservation(
                { { "Opt1", "Tageszimmer" }, { "Re6", "0.5" }, { "Erw16", "19" }, { "Re10", "30,00" } }) },
        { "1|1|Einzelzimmer - 1 Nacht |19||60,00|1|Zimmerangebot|ZR",
            "1|2|Tageszimmer - 0,5 Nächte |19||30,00|2|Zimmerangebot|ZR" },
        { "60|0|0|<null>|60", "30|0|0|<null>|30" });
    addRow("Spare2 without value empties Erw20 that held a rate",
        { reservation({ { "Re21", "Zustellbett" }, { "Erw20", "7" }, { "Re22", "20,00" } }) },
        { "|1|Zustellbett|7||20,00|1|<null>|ZR" }, { "0|20|0|<null>|20" });
}

void ChargeLineTest::reservationsBecomeLinesAndTotals()
{
    QFETCH(QLocale, numberFormat);
    QFETCH(QString, MwSt);
    QFETCH(QString, Zusatz10);
    QFETCH(QList<QVariantMap>, reservations);
    QFETCH(QStringList, lines);
    QFETCH(QStringList, totals);
    QFETCH(QStringList, skipped);
    QTemporaryDir dir;
    const HotelFiles files(dir.path(), MwSt, Zusatz10);
    files.addReservations(reservations);

    const RunOutcome outcome = runOn(files, numberFormat);

    QVERIFY(outcome.result.walkBegan);
    QCOMPARE(rows(files.target, charges, lineFields), lines);
    QCOMPARE(rows(files.target, importfixture::reservations, totalFields), totals);
    QCOMPARE(skippedKeysAndFields(outcome.log), skipped);
    QCOMPARE(outcome.result.chargeLinesWritten, lines.size());
    QCOMPARE(outcome.result.skippedOperations, skipped.size());
}

void ChargeLineTest::fieldsThatNoLineWritesStayEmpty()
{
    QTemporaryDir dir;
    const HotelFiles files(dir.path());
    files.addReservations({ with(doubleRoomTwoNights,
        { { "Re11", "Frühstück" }, { "Erw17", "19" }, { "Re12", "24,00" }, { "Re13", "Sauna" },
            { "Re14", "6,00" }, { "Spare1", "Kurtaxe" }, { "Spare2", "2,50" } }) });
    runOn(files, german);
    QCOMPARE(
        rows(files.target, charges, { "Ver7", "Ver9" }), QStringList(4, QStringLiteral("<null>|<null>")));
}

QTEST_GUILESS_MAIN(ChargeLineTest)
#include "ChargeLineTest.moc"
