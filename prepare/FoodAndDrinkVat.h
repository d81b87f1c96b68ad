#pragma once

#include <QString>

namespace tavik::ui {
class UserInterface;
}
namespace tavik::store {
class DataControls;
class RunLog;
} // namespace tavik::store

namespace tavik::prepare {

// Step 1: the articles' record source bound to the target. Engine errors are not caught: where
// this runs, they end the program before the question is asked.
void bindArticles(store::DataControls& controls, const QString& Datenpfad_neu);

// The VAT rate for food and drinks, exactly as typed. Cancel or an emptied field is answered with
// "Falscher Wert" and the same question again, as often as it takes.
QString askFoodAndDrinkVat(ui::UserInterface& ui);

// Writes the answer into every article whose rate (Art7) is empty or null, from the first
// article to the end of the table; articles that have a rate keep it. A failing operation is logged
// with the article's key, field and value and the loop goes on, so it always reaches the end.
// Returns how many articles got the rate.
int applyFoodAndDrinkVat(store::DataControls& controls, const QString& answer, store::RunLog& log);

} // namespace tavik::prepare
