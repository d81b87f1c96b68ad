#include "prepare/FoodAndDrinkVat.h"

#include "ui/UserInterface.h"
#include "prepare/PrepareTexts.h"
#include "store/DataControls.h"
#include "store/RunLog.h"

#include <optional>

namespace tavik::prepare {

namespace {

using store::EngineError;

// The engine names the record of a cached statement as it was when the statement was made, so the
// log takes the article's key, and the rate's field when a rate was pending, from the loop.
void logForArticle(store::RunLog& log, const EngineError& error, std::optional<qint64> key,
    const store::BoundField& rate, const QString& value)
{
    store::ErrorContext context = error.context();
    context.recordKey = key;
    if (!value.isNull())
        context.field = rate.field();
    log.skipped(texts::vatTask(),
        EngineError(error.kind(), context, error.sqliteMessage(), error.sqliteCode(), error.extendedCode()),
        value);
}

// Sets the rate of the current article when it has none; true when a value is now pending.
bool setRateIfMissing(store::BoundField& rate, const QString& answer, store::RunLog& log)
{
    if (!rate.text().isEmpty())
        return false;
    try {
        rate.setText(answer);
        return true;
    } catch (const EngineError& error) {
        logForArticle(log, error, rate.source().currentKey(), rate, answer);
        return false;
    }
}

} // namespace

void bindArticles(store::DataControls& controls, const QString& Datenpfad_neu)
{
    controls.Data3.setDatabaseName(Datenpfad_neu);
    controls.Data3.refresh();
}

QString askFoodAndDrinkVat(ui::UserInterface& ui)
{
    for (;;) {
        const QString answer = ui.askText(texts::vatPrompt(), texts::vatTitle(), texts::vatDefault());
        if (!answer.isEmpty())
            return answer;
        ui.showMessage(texts::wrongValue(), ui::MessageIcon::None, QString());
    }
}

int applyFoodAndDrinkVat(store::DataControls& controls, const QString& answer, store::RunLog& log)
{
    store::RecordSource& articles = controls.Data3;
    store::BoundField& rate = controls.Label21;
    try {
        articles.moveFirst();
    } catch (const EngineError& error) {
        log.skipped(texts::vatTask(), error);
        // Without a record set there is no table to walk; with one, the move did happen.
        if (!articles.isOpen())
            return 0;
    }
    int written = 0;
    while (!articles.eof()) {
        const std::optional<qint64> key = articles.currentKey();
        const bool pending = setRateIfMissing(rate, answer, log);
        // The move stores the pending rate and happens even when storing fails.
        try {
            articles.moveNext();
            written += pending ? 1 : 0;
        } catch (const EngineError& error) {
            logForArticle(log, error, key, rate, pending ? answer : QString());
        }
    }
    return written;
}

} // namespace tavik::prepare
