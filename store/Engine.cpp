#include "store/Engine.h"

#include "store/Database.h"
#include "store/NumberText.h"

#include <QFileInfo>

namespace tavik::store {

namespace {

QString keyOf(const QString& path)
{
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? info.absoluteFilePath() : canonical;
}

ErrorContext contextFor(const QString& path, EngineOperation operation)
{
    ErrorContext context;
    context.operation = operation;
    context.file = path;
    return context;
}

} // namespace

Engine::Engine(QLocale numberFormat)
    : numberFormat_(withoutSystemLookups(numberFormat))
{
}

QString Engine::passwordOf(const QString& connect)
{
    const QStringList parts = connect.split(QLatin1Char(';'));
    for (const QString& part : parts) {
        if (part.startsWith(QLatin1String("pwd="), Qt::CaseInsensitive))
            return part.mid(4);
    }
    return {};
}

std::shared_ptr<Connection> Engine::connect(const QString& path, const OpenOptions& options)
{
    const QString key = keyOf(path);
    if (auto found = connections_.find(key); found != connections_.end()) {
        if (std::shared_ptr<Connection> existing = found->second.lock(); existing && existing->isOpen()) {
            if (options.exclusive || existing->isExclusive())
                throw EngineError(EngineError::Kind::InUse, contextFor(path, EngineOperation::Open),
                    QStringLiteral("file already open in this program"));
            if (!existing->passwordMatches(options.password))
                throw EngineError(EngineError::Kind::NotADataFile, contextFor(path, EngineOperation::Open),
                    QStringLiteral("file is encrypted or is not a database"));
            if (existing->isReadOnly() && !options.readOnly)
                throw EngineError(EngineError::Kind::InUse, contextFor(path, EngineOperation::Open),
                    QStringLiteral("file already open read-only in this program"));
            return existing;
        }
    }
    std::shared_ptr<Connection> connection = Connection::open(path, options);
    connections_[key] = connection;
    return connection;
}

Database Engine::openDatabase(const QString& path, bool exclusive, bool readOnly, const QString& connect)
{
    OpenOptions options;
    options.exclusive = exclusive;
    options.readOnly = readOnly;
    options.password = passwordOf(connect);
    return Database(this->connect(path, options));
}

} // namespace tavik::store
