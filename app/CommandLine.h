#pragma once

#include "app/SkipLimit.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace tavik::app {

struct BatchOptions {
    std::optional<QString> vat;     // the VAT answer, used exactly as given
    std::optional<QString> source;  // another older data file, taken as the menu takes it
    std::optional<QString> report;  // where the JSON report goes
    bool force = false;             // replace a target that is already marked imported
    bool check = false;             // the whole run on temporary copies: says what a run would do
    std::optional<SkipLimit> maxSkipped; // more skipped operations undo the run
    bool restore = false;           // put the target back from a backup instead of migrating
    std::optional<QString> restoreFrom;  // that backup; tavik_50.ba0 when not given
};

struct CommandLine {
    enum class Mode { Window, Batch, Help, Version, Invalid };
    Mode mode = Mode::Window;
    BatchOptions batch;
    QString error;                  // German, for Mode::Invalid
};

// tavik-migrate
//   | --batch [--vat TEXT] [--source PATH] [--report FILE] [--force] [--check] [--max-skipped N|P%]
//   | [--batch] --restore [FILE]
//   | --help | --version
CommandLine parseCommandLine(const QStringList& arguments);
QString helpText();

} // namespace tavik::app
