#include "store/Connection.h"
#include "store/Engine.h"
#include "store/EngineError.h"
#include "store/RecordSource.h"
#include "tests/fuzz/FuzzSupport.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>

// Any bytes, stored as a data file, are opened through the engine, and every table the file names
// is walked record by record. An EngineError is the expected answer to a broken file; anything
// else that escapes, and every crash, is a finding.

using fuzzsupport::requireThat;
using tavik::store::EngineError;

namespace {

QStringList tableNames(tavik::store::Connection& connection)
{
    auto select = connection.prepare(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table'"));
    QStringList names;
    while (select.step())
        names << select.text(0);
    return names;
}

void walkTable(tavik::store::Engine& engine, const QString& path, const QString& table)
{
    tavik::store::RecordSource source(engine, QStringLiteral("Data1"), table);
    source.setDatabaseName(path);
    try {
        source.refresh();
        const int fieldCount = int(source.schema().fields().size());
        for (source.moveFirst(); !source.eof(); source.moveNext()) {
            for (int field = 0; field < fieldCount; ++field) {
                source.value(field);
                source.text(field);
            }
        }
    } catch (const EngineError&) {
        // A table that cannot be read ends its own walk, not that of the others.
    }
}

void walkFile(const QString& path)
{
    tavik::store::Engine engine(QLocale::c());
    std::shared_ptr<tavik::store::Connection> connection;
    QStringList tables;
    try {
        connection = engine.connect(path, tavik::store::OpenOptions {});
        tables = tableNames(*connection);
    } catch (const EngineError&) {
        return;
    }
    for (const QString& table : tables)
        walkTable(engine, path, table);
}

class DataFileBench {
public:
    void run(const QByteArray& bytes)
    {
        // A fresh folder for every input, so that no journal or WAL file of the last one is
        // played back into this one.
        QDir folder(scratch_.filePath(QStringLiteral("input")));
        folder.removeRecursively();
        requireThat(folder.mkpath(QStringLiteral(".")), "Ordner angelegt", folder.path());
        const QString path = folder.filePath(QStringLiteral("tavik_20.mdb"));
        QFile file(path);
        requireThat(
            file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size(), "Datei geschrieben", path);
        file.close();
        walkFile(path);
    }

private:
    fuzzsupport::ScratchFolder scratch_;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // libFuzzer's entry point has no context to carry it; the scratch folder lives as long as the process.
    static DataFileBench bench;
    bench.run(QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size)));
    return 0;
}
