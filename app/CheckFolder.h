#pragma once

#include "app/StartUp.h"
#include "store/RunLog.h"

#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <memory>

#include <optional>

namespace tavik::app {

// Why a check stops where a real run would stop, or why it cannot be made at all.
struct CheckStop {
    int exitStatus = 0;
    QString message;
    QString cause;
    bool checkNotRun = false; // the check itself found no room to run, which says nothing of a real run
};

// The private temporary folder a check (--check) runs the whole chain in: copies of the older
// file, of a file chosen with --source and of the target as it stands, taken under the target's
// run lock so that no run is half way through it. The real files are only ever read; the folder
// and everything in it goes with the object. A check killed outright leaves it in the system's
// temporary folder (TMPDIR) under "tavik-probelauf-"; the next check removes it.
class CheckFolder {
public:
    CheckFolder();

    // Makes the copies; a stop when another run holds the target or the temporary folder lacks room.
    std::optional<CheckStop> copy(const DataPaths& real, const std::optional<QString>& chosenSource);
    // The paths the chain works on.
    const DataPaths& paths() const { return work_; }
    const QString& chosenSource() const { return chosenSource_; }

    // What the copies cannot show: why a real run could not back up or replace the real target,
    // in the order a real run meets it.
    std::optional<CheckStop> whyRealRunWouldStop() const;
    // A message with the copies' paths put back to the files they stand for: the copies are gone
    // when the user reads it.
    QString inRealNames(QString text) const;

    // Hands each skipped operation on with the copies' paths in its reason put back, for the report.
    class RealNames : public store::SkippedSink {
    public:
        RealNames(const CheckFolder& folder, store::SkippedSink& next)
            : folder_(folder)
            , next_(next)
        {
        }
        void add(const store::SkippedOperation& operation) override;

    private:
        const CheckFolder& folder_;
        store::SkippedSink& next_;
    };

private:
    QString copyInto(const QString& subfolder, const QString& file) const;

    std::unique_ptr<QTemporaryDir> dir_;
    // Held while the check lives, so that the next check tells a folder in use from one left behind.
    std::unique_ptr<QFile> alive_;
    DataPaths real_;
    DataPaths work_;
    QString chosenSource_;
    std::optional<QString> chosenReal_;
};

} // namespace tavik::app
