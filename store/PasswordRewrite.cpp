#include "store/Connection.h"

#include "store/FileReplace.h"

#include <QFileInfo>
#include <QTemporaryFile>

namespace tavik::store {

namespace {

// The rewritten file must be sound before it may take the old one's place.
void verifyRewrittenFile(const QString& path, const QString& password)
{
    OpenOptions options;
    options.readOnly = true;
    options.password = password;
    std::unique_ptr<Connection> check = Connection::open(path, options);
    const QString found = check->integrityCheck(check->context(EngineOperation::VerifyRewrittenFile));
    if (found != QLatin1String("ok"))
        throw EngineError(EngineError::Kind::NotADataFile, check->context(EngineOperation::VerifyRewrittenFile), found);
}

} // namespace

void Connection::exportTo(const QString& target, const QString& password)
{
    const ErrorContext changing = context(EngineOperation::ChangePassword);
    qint64 version = 0;
    {
        Statement userVersion = prepare(QStringLiteral("PRAGMA main.user_version"), changing);
        if (userVersion.step())
            version = userVersion.integer(0);
    }
    {
        // Bound, so the key never stands in SQL text.
        Statement attach = prepare(QStringLiteral("ATTACH DATABASE ?1 AS rewrite KEY ?2"), changing);
        attach.bind(1, target);
        attach.bind(2, password);
        attach.run();
    }
    try {
        execute(QStringLiteral("SELECT sqlcipher_export('rewrite')"), changing);
        execute(QStringLiteral("PRAGMA rewrite.user_version = %1").arg(version), changing);
    } catch (...) {
        try {
            execute(QStringLiteral("DETACH DATABASE rewrite"));
        } catch (...) {
            // The export's own error is the one worth reporting.
        }
        throw;
    }
    execute(QStringLiteral("DETACH DATABASE rewrite"), changing);
}

void Connection::rewriteWithPassword(const QString& newPassword)
{
    const QFileInfo original(path_);
    QTemporaryFile rewritten(original.absolutePath() + QStringLiteral("/.") + original.fileName() + QStringLiteral(".XXXXXX"));
    if (!rewritten.open())
        throw EngineError(EngineError::Kind::Io, context(EngineOperation::ChangePassword), rewritten.errorString());
    rewritten.setPermissions(fileModeOf(path_));
    rewritten.close();

    exportTo(rewritten.fileName(), newPassword);
    verifyRewrittenFile(rewritten.fileName(), newPassword);
    if (!syncFile(rewritten.fileName()))
        throw EngineError(EngineError::Kind::Io, context(EngineOperation::ChangePassword),
            QStringLiteral("cannot sync rewritten file"));

    close();
    if (!replaceFile(rewritten.fileName(), path_)) {
        openHandle();
        throw EngineError(
            EngineError::Kind::Io, context(EngineOperation::ChangePassword), QStringLiteral("cannot replace file"));
    }
    rewritten.setAutoRemove(false);
    syncFolder(original.absolutePath());
    options_.password = newPassword;
    openHandle();
}

} // namespace tavik::store
