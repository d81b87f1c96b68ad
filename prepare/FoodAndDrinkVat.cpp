#include "prepare/FoodAndDrinkVat.h"

#include "ui/UserInterface.h"
#include "prepare/PrepareTexts.h"
#include "store/DataControls.h"
#include "store/RunLog.h"
#include "store/Transaction.h"

#include <optional>
#include <vector>

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
    log.skipped(store::RunTask::FoodAndDrinkVat,
        EngineError(error.kind(), context, error.sqliteMessage(), error.sqliteCode(), error.extendedCode()), value);
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
    controls.bindAt(store::BindingStep::ArticlesOpened, { .target = Datenpfad_neu });
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

namespace {

int walkArticles(store::RecordSource& articles, store::BoundField& rate, const QString& answer, store::RunLog& log)
{
    try {
        articles.moveFirst();
    } catch (const EngineError& error) {
        log.skipped(store::RunTask::FoodAndDrinkVat, error);
        // Without a record set there is no table to walk; with one, the move did happen.
        if (!articles.isOpen())
            return 0;
    }
    // One commit for all articles instead of one for each; a rate that cannot be stored still
    // fails alone, since SQLite takes back only the statement that failed.
    std::optional<store::Transaction> transaction;
    try {
        transaction.emplace(articles.connection());
    } catch (const EngineError& error) {
        log.skipped(store::RunTask::FoodAndDrinkVat, error);
    }
    std::vector<std::optional<qint64>> written;
    while (!articles.eof()) {
        const std::optional<qint64> key = articles.currentKey();
        const bool pending = setRateIfMissing(rate, answer, log);
        // The move stores the pending rate and happens even when storing fails.
        try {
            articles.moveNext();
            if (pending)
                written.push_back(key);
        } catch (const EngineError& error) {
            logForArticle(log, error, key, rate, pending ? answer : QString());
        }
    }
    if (transaction) {
        try {
            transaction->commit();
        } catch (const EngineError& error) {
            // Another program reading the file, a full disk: no rate was stored, and each article
            // says so as it did when it failed alone.
            for (const std::optional<qint64>& key : written)
                logForArticle(log, error, key, rate, answer);
            return 0;
        }
    }
    return static_cast<int>(written.size());
}

} // namespace

int applyFoodAndDrinkVat(store::DataControls& controls, const QString& answer, store::RunLog& log)
{
    // The walk reads an article's rate and nothing else.
    controls.articles.readFields({ controls.articleFields.rate.field() });
    const int written = walkArticles(controls.articles, controls.articleFields.rate, answer, log);
    controls.articles.readFields({});
    return written;
}

} // namespace tavik::prepare
