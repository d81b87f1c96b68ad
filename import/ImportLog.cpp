#include "import/ImportLog.h"

#include "import/ImportTexts.h"
#include "store/EngineError.h"
#include "store/RunLog.h"

namespace tavik::import {

ImportLog::ImportLog(store::RunLog& log)
    : log_(log)
{
}

void ImportLog::engineError(const QString& operation, const QString& table, const QString& field,
    const QString& value, const store::EngineError& error)
{
    QString reason = store::germanMessage(error);
    if (!error.sqliteMessage().isEmpty())
        reason += QStringLiteral(" (") + error.sqliteMessage() + QLatin1Char(')');
    skipped(operation, table.isEmpty() ? error.context().table : table,
        field.isEmpty() ? error.context().field : field, value, reason);
}

void ImportLog::skipped(const QString& operation, const QString& table, const QString& field,
    const QString& value, const QString& reason)
{
    log_.skipped(
        store::SkippedOperation { texts::taskName, operation, table, reservation_, field, value, reason });
    ++count_;
}

} // namespace tavik::import
