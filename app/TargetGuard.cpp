#include "app/TargetGuard.h"

#include "store/SystemErrorText.h"
#include "store/TargetAccess.h"

namespace tavik::app {

namespace {
const QString inUse = QStringLiteral("Die Tavik 5.0 Datendatei \"%1\" wird gerade von einem anderen Lauf bearbeitet. "
                                     "Bitte warten Sie, bis er beendet ist.");
const QString noLock = QStringLiteral("Neben der Tavik 5.0 Datendatei kann die Sperrdatei \"%1\" nicht angelegt werden: %2.");
} // namespace

TargetGuard TargetGuard::lock(const QString& Datenpfad_neu)
{
    TargetGuard guard;
    guard.target_ = Datenpfad_neu;
    guard.lock_ = store::RunLock::take(Datenpfad_neu);
    if (guard.lock_.state() == store::RunLock::State::HeldByAnotherRun) {
        guard.refusal_ = Refusal::InUseByAnotherRun;
        guard.cause_ = inUse.arg(Datenpfad_neu);
    }
    return guard;
}

void TargetGuard::prepare(const QDateTime& now)
{
    if (!allowsRun())
        return;
    // A lock file that cannot be made is a folder that cannot be written; the check says it best.
    cause_ = store::whyNotReplaceable(target_);
    if (cause_.isEmpty() && lock_.state() == store::RunLock::State::Failed)
        cause_ = noLock.arg(lock_.path(), store::germanSystemError(lock_.systemError()));
    if (!cause_.isEmpty()) {
        refusal_ = Refusal::NotReplaceable;
        return;
    }
    backup_ = makeStartupBackup(target_, now);
    if (backup_.failed()) {
        refusal_ = Refusal::NoBackup;
        cause_ = backup_.failure;
    }
}

TargetGuard TargetGuard::take(const QString& Datenpfad_neu, const QDateTime& now)
{
    TargetGuard guard = lock(Datenpfad_neu);
    guard.prepare(now);
    return guard;
}

} // namespace tavik::app
