#pragma once

#include <QString>

namespace tavik::store {
class Engine;
class RunLog;
} // namespace tavik::store

namespace tavik::prepare {

// How many fields task 3 added to each table in this run.
struct SchemaExtension {
    int addedToEinstellungen = 0;
    int addedToTabelle1 = 0;
    int addedToTabelle2 = 0;

    int total() const { return addedToEinstellungen + addedToTabelle1 + addedToTabelle2; }
};

// Each method opens its own handle on the target by its path alone (shared, read-write, no
// connect string) through the engine, so it shares the connection that the record sources on the
// same file use, and adds its table's fields in ascending order, each accepting the empty text.

// Einstellungen memo11..memo20. Every failing step is logged and skipped, so an existing field
// only costs its own append; returns how many fields it added.
int neue_Felder2(store::Engine& engine, const QString& Datenpfad_neu, store::RunLog& log);

// Tabelle1 Erw26..Erw40 and Tabelle2 Erw16..Erw25, text 50. The first engine error ends the method
// and leaves it as a store::EngineError; the fields behind it are not added. `added` counts the
// fields stored before that, so the caller knows how far the method came.
void neue_Felder3(store::Engine& engine, const QString& Datenpfad_neu, int& added);
void neue_Felder6(store::Engine& engine, const QString& Datenpfad_neu, int& added);

// Task 3 without its pointer and timer steps: the three methods in order. What leaves
// neue_Felder3 or neue_Felder6 is logged and the next method runs, so no engine error leaves here.
SchemaExtension extendSchema(store::Engine& engine, const QString& Datenpfad_neu, store::RunLog& log);

} // namespace tavik::prepare
