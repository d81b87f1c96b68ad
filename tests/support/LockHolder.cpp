#include "LockHolder.h"

namespace tavik::testsupport {

namespace {
constexpr int longestWaitMs = 30000;
}

LockHolder::LockHolder(Mode mode, const QString& dataFile)
{
    const QString program
        = qEnvironmentVariable("TAVIK_TEST_SUPPORT_DIR") + QStringLiteral("/tavik-test-lockholder");
    process_.start(program,
        { mode == Mode::Exclusive ? QStringLiteral("--exclusive") : QStringLiteral("--shared"), dataFile });
}

LockHolder::~LockHolder()
{
    release();
}

void LockHolder::release()
{
    if (process_.state() == QProcess::NotRunning)
        return;
    // The holder lets go when its input closes.
    process_.closeWriteChannel();
    if (!process_.waitForFinished(longestWaitMs))
        process_.kill();
    process_.waitForFinished();
}

bool LockHolder::waitUntilLocked()
{
    while (!process_.canReadLine()) {
        if (!process_.waitForReadyRead(longestWaitMs))
            return false;
    }
    return process_.readLine().trimmed() == "locked";
}

QString LockHolder::problem()
{
    return process_.errorString() + QLatin1Char(' ')
        + QString::fromLocal8Bit(process_.readAllStandardError());
}

} // namespace tavik::testsupport
