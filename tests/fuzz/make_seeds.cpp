// Writes the seed corpus of the fuzz targets into tests/fuzz/corpus: real sample records and files,
// cut and damaged ones, and the odd texts users type. Run by hand when the file layout changes:
//   tavik-fuzz-seeds tests/fuzz/corpus

#include "store/Connection.h"
#include "store/DataControls.h"
#include "tests/support/FileBytes.h"
#include "tools/SampleHotel.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariantMap>

#include <cstdio>
#include <stdexcept>

using tavik::store::Connection;
using tavik::store::OpenOptions;
using tavik::testsupport::bytesOf;

namespace {

void writeSeed(const QDir& folder, const QString& name, const QByteArray& bytes)
{
    if (!tavik::testsupport::writeFile(folder.filePath(name), bytes))
        throw std::runtime_error("cannot write " + folder.filePath(name).toStdString());
}

// ------------------------------------------------------------------------ number readings

void writeNumberSeeds(const QDir& folder)
{
    const QStringList texts { "0", "-0", "89,00", "89.00", "19", "7", "7,0", "0,00", "0.00", "1.234,56",
        "1,234.56", " 12 ", "1 2", "2.5", "2,5", "1E+15", "1,5E-07", "1.5e-7", "2D3", "-1e400", "1e-400",
        "999999999999999,5", "0,333333333333333", "4,94065645841247E-324", "1,79769313486232E+308", "+,5",
        "5,", ",", "e5", "1e", "1e+", "\u22125", "\u0663", "12\u00a0000", "0x1A", "inf", "NaN", "" };
    for (qsizetype i = 0; i < texts.size(); ++i)
        writeSeed(folder, QStringLiteral("text-%1").arg(i, 2, 10, QLatin1Char('0')), texts[i].toUtf8());
}

// ------------------------------------------------------------------------ charge lines

QString orNoValue(const QVariant& value)
{
    return value.isNull() ? QStringLiteral("\\N") : value.toString();
}

// One seed in the charge-line target's line format from a settings and a reservation record.
QByteArray chargeLineSeed(
    const QString& numberFormat, const QVariantMap& settings, const QVariantMap& reservation)
{
    QStringList lines { numberFormat, orNoValue(settings.value("MwSt")),
        orNoValue(settings.value("Zusatz10")), orNoValue(reservation.value("Re18")),
        orNoValue(reservation.value("Erw14")) };
    for (int element = 0; element < 25; ++element) {
        if (const QString field = tavik::store::DataControls::reservationFieldOf(element); !field.isEmpty())
            lines << orNoValue(reservation.value(field));
    }
    return lines.join(u'\n').toUtf8();
}

QList<QVariantMap> recordsOf(Connection& connection, const QString& table)
{
    auto select = connection.prepare(
        QStringLiteral("SELECT * FROM %1 ORDER BY rowid").arg(tavik::store::quoteIdentifier(table)));
    QList<QVariantMap> records;
    while (select.step()) {
        QVariantMap record;
        for (int i = 0; i < select.columnCount(); ++i)
            record.insert(select.columnName(i), select.value(i));
        records << record;
    }
    return records;
}

void writeChargeLineSeeds(const QDir& folder, const QString& sampleFile)
{
    OpenOptions options;
    options.readOnly = true;
    auto sample = Connection::open(sampleFile, options);
    const QVariantMap settings = recordsOf(*sample, QStringLiteral("Einstellungen")).value(0);
    const QList<QVariantMap> reservations = recordsOf(*sample, QStringLiteral("Reservierungen"));
    for (qsizetype i = 0; i < reservations.size(); ++i) {
        const QString numberFormat = i % 3 == 2 ? QStringLiteral("C") : QStringLiteral("de");
        writeSeed(folder, QStringLiteral("sample-%1").arg(i, 2, 10, QLatin1Char('0')),
            chargeLineSeed(numberFormat, settings, reservations[i]));
    }
    // Forms the sample leaves out: rates that only look alike, amounts at the edge of the range,
    // and lines whose rate or amount cannot be read at all.
    const QStringList odd {
        "de\n19\n7\n7,0\nAB\n2\nDoppelzimmer\n89,00\n\n178,00\n\n1\nHP\n7,00\n40,00\nMinibar\n19\n1e308",
        "C\n19\n19\n19\n\\N\n1.5\nEZ\n49.5\n\\N\n74.25\n\n2.5\nVP\n\\N\n1e308\nTelefon\n0\n-1e308",
        "de\n\\N\n\\N\n\\N\n\\N\n\\N\nZimmer\n\\N\n\\N\n\\N",
        "de\n19\n7\n19\nM\u00fc\n3\nSuite \u00c4\n120\n16\n0.00\n\n40000\nHP\nx\n0,00\nBar\n\n12,5",
        "C\n1e-400\n-0\n0\nX\n0\n\U0001F6CF\n1,5\n0\n0,00\n\n0\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n"
        "Kurtaxe\n2,50",
    };
    for (qsizetype i = 0; i < odd.size(); ++i)
        writeSeed(folder, QStringLiteral("odd-%1").arg(i), odd[i].toUtf8());
}

// ------------------------------------------------------------------------ data files

// A real sample file made small: few records and the smallest page size, so that mutations reach
// every part of the file format.
QByteArray compactSample(const QString& path, int reservations)
{
    tavik::tools::SampleOptions options;
    options.reservations = reservations;
    tavik::tools::writeOlderEditionFile(path, options);
    auto connection = Connection::open(path, OpenOptions {});
    connection->execute(QStringLiteral("PRAGMA page_size = 512"));
    connection->execute(QStringLiteral("VACUUM"));
    connection->close();
    return bytesOf(path);
}

// Schemas the engine meets rarely: quotes and blanks in names, a table without rowid, a view, an
// index, values of every storage class and a text spread over overflow pages.
QByteArray oddSchemaFile(const QString& path)
{
    OpenOptions options;
    options.create = true;
    auto connection = Connection::open(path, options);
    for (const char* sql : {
             "PRAGMA page_size = 512",
             "CREATE TABLE \"Verzehr \"\"alt\"\"\" (ID INTEGER PRIMARY KEY, \"Z 1\" TEXT, Ver5 REAL, "
             "Ver6 BLOB)",
             "INSERT INTO \"Verzehr \"\"alt\"\"\" VALUES (1, 'Bar', 12.5, x'00ff'), (7, NULL, -0.0, 3)",
             "CREATE TABLE Artikel (Art1 TEXT PRIMARY KEY, Art7) WITHOUT ROWID",
             "INSERT INTO Artikel VALUES ('A1', '19'), ('A2', 7)",
             "CREATE TABLE Memos (ID INTEGER PRIMARY KEY AUTOINCREMENT, Memo1 TEXT)",
             "INSERT INTO Memos (Memo1) VALUES (printf('%.3000c', 'x')), ('')",
             "CREATE INDEX Memos_Text ON Memos (Memo1)",
             "CREATE VIEW Buchungen AS SELECT * FROM Memos",
         })
        connection->execute(QString::fromUtf8(sql));
    connection->close();
    return bytesOf(path);
}

QByteArray withFlippedByte(QByteArray bytes, qsizetype at)
{
    bytes[at] = char(bytes[at] ^ 0x5a);
    return bytes;
}

void writeCutAndDamagedSeeds(const QDir& folder, const QByteArray& sample)
{
    for (const qsizetype length : { qsizetype(16), qsizetype(100), qsizetype(512), qsizetype(1024),
             sample.size() / 2, sample.size() - 1 })
        writeSeed(folder, QStringLiteral("sample-cut-at-%1.mdb").arg(length), sample.left(length));
    // Page size, WAL versions, page count, freelist, schema cookie, encoding; then inside pages.
    for (const qsizetype at : { 16, 18, 28, 32, 40, 56, 100, 105, 612, 1130, 2000 })
        writeSeed(folder, QStringLiteral("sample-flipped-at-%1.mdb").arg(at), withFlippedByte(sample, at));
}

void writeDataFileSeeds(const QDir& folder, const QDir& scratch)
{
    const QByteArray sample = compactSample(scratch.filePath(QStringLiteral("sample.mdb")), 2);
    writeSeed(folder, QStringLiteral("sample-2-reservations.mdb"), sample);
    writeCutAndDamagedSeeds(folder, sample);
    writeSeed(
        folder, QStringLiteral("odd-schema.mdb"), oddSchemaFile(scratch.filePath(QStringLiteral("odd.mdb"))));

    QByteArray wal = sample;
    wal[18] = wal[19] = 2; // the header of a file in WAL mode
    writeSeed(folder, QStringLiteral("sample-wal-mode.mdb"), wal);
    writeSeed(folder, QStringLiteral("empty.mdb"), QByteArray());
    writeSeed(folder, QStringLiteral("header-only.mdb"),
        QByteArray("SQLite format 3\0", 16) + QByteArray(84, '\0'));
    writeSeed(folder, QStringLiteral("plain-text.mdb"),
        QByteArray("Reservierungen;Re1;Re2\r\nM\u00fcller;14.03.2003\r\n"));

    OpenOptions protectedFile;
    protectedFile.create = true;
    protectedFile.password = QStringLiteral("quiret");
    const QString protectedPath = scratch.filePath(QStringLiteral("protected.mdb"));
    Connection::open(protectedPath, protectedFile)
        ->execute(QStringLiteral("CREATE TABLE Tabelle1 (Erw1 TEXT)"));
    writeSeed(folder, QStringLiteral("with-password.mdb"), bytesOf(protectedPath));
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "Aufruf: %s <Korpusordner>\n", argv[0]);
        return 2;
    }
    try {
        const QDir corpus(QString::fromLocal8Bit(argv[1]));
        QTemporaryDir scratch;
        for (const char* target : { "number_text", "charge_lines", "data_file" })
            corpus.mkpath(QString::fromLatin1(target));
        writeNumberSeeds(QDir(corpus.filePath(QStringLiteral("number_text"))));

        const QString sampleFile = QDir(scratch.path()).filePath(QStringLiteral("charges.mdb"));
        tavik::tools::SampleOptions options;
        options.reservations = 30;
        tavik::tools::writeOlderEditionFile(sampleFile, options);
        writeChargeLineSeeds(QDir(corpus.filePath(QStringLiteral("charge_lines"))), sampleFile);
        writeDataFileSeeds(QDir(corpus.filePath(QStringLiteral("data_file"))), QDir(scratch.path()));
    } catch (const std::exception& error) {
        std::fprintf(stderr, "Saatkorpus nicht geschrieben: %s\n", error.what());
        return 1;
    }
    return 0;
}
