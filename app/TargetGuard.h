#pragma once

#include "app/StartUp.h"
#include "store/RunLock.h"

#include <QDateTime>
#include <QString>

namespace tavik::app {

// What must hold before a run may replace the newer edition's data file, taken in this order at
// start-up: the run's lock on it (a second run would rename or overwrite this run's backup), the
// check that it can be replaced and written (else the raw copy would stand where every write
// fails), and its verified backup (else its data would exist nowhere afterwards). The lock is held
// for the guard's life.
class TargetGuard {
public:
    enum class Refusal { None, InUseByAnotherRun, NotReplaceable, NoBackup };

    TargetGuard() = default;
    // The lock alone: a run that stops before the backup still clears a lock file left by a crash.
    static TargetGuard lock(const QString& Datenpfad_neu);
    // The check and the backup, under the lock; nothing when the lock was refused.
    void prepare(const QDateTime& now);
    // Both steps at once, as the window takes them at start-up.
    static TargetGuard take(const QString& Datenpfad_neu, const QDateTime& now);

    bool allowsRun() const { return refusal_ == Refusal::None; }
    Refusal refusal() const { return refusal_; }
    // Why the run must not go on, in German, naming the file; empty when it may.
    const QString& cause() const { return cause_; }
    const StartupBackup& backup() const { return backup_; }

private:
    QString target_;
    store::RunLock lock_;
    Refusal refusal_ = Refusal::None;
    QString cause_;
    StartupBackup backup_;
};

} // namespace tavik::app
