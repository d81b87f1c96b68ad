#pragma once

#include "store/Engine.h"

#include <QString>
#include <QStringList>

#include <future>

namespace tavik::app {

// What reading the older file found before it is copied over the target.
struct OlderFileFindings {
    enum class Verdict {
        Usable,
        WithoutReservations, // no table Reservierungen, or another program's table of that name
        WithoutRowNumbers, // Reservierungen declared WITHOUT ROWID: the walk finds records by them
        Damaged, // a page fails SQLite's check
        Unreadable, // not a data file the engine can open: engineMessage says why
    };
    Verdict verdict = Verdict::Usable;
    QString engineMessage;
};

// Opens the file read-only and checks every page. An engine error other than "not a data file" is
// left for the copy and the tasks to report, as they would without this check.
OlderFileFindings examineOlderFile(store::Engine& engine, const QString& path, const QStringList& reservationFields);

// The examination on a thread of its own, so that it reads the older file while the target's
// backup waits for the disk. Nothing else may use the engine, or SQLite at all, until findings()
// has returned: the library runs without locks of its own.
class OlderFileCheck {
public:
    // Going, it waits for the thread if that still runs (a future of std::async does).
    OlderFileCheck(store::Engine& engine, const QString& path, const QStringList& reservationFields);

    OlderFileCheck(const OlderFileCheck&) = delete;
    OlderFileCheck& operator=(const OlderFileCheck&) = delete;

    const QString& path() const { return path_; }
    // Rethrows what the examination threw other than the engine's errors. Once only.
    OlderFileFindings findings();

private:
    QString path_;
    std::future<OlderFileFindings> findings_;
};

} // namespace tavik::app
