#pragma once

#include <QDir>
#include <QString>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

// What every fuzz target shares: a place for its scratch files and a way to report a broken rule.
namespace fuzzsupport {

// A broken rule must stop the run like a crash does, so that libFuzzer keeps the input.
inline void requireThat(bool holds, const char* rule, const QString& detail = {})
{
    if (holds)
        return;
    std::fprintf(stderr, "Regel verletzt: %s\n%s\n", rule, qUtf8Printable(detail));
    std::fflush(stderr);
    std::abort();
}

// Scratch files go to the temporary folder. tools/fuzz.sh points TMPDIR at a RAM-backed folder of
// its own, because every input writes and syncs small data files, and removes it afterwards, also
// after a finding that ends the process before any destructor runs.
class ScratchFolder {
public:
    ScratchFolder()
        : folder_(QDir::tempPath() + QStringLiteral("/tavik-fuzz-XXXXXX"))
    {
        requireThat(folder_.isValid(), "Arbeitsordner angelegt", folder_.errorString());
    }

    QString filePath(const QString& name) const { return folder_.filePath(name); }

private:
    QTemporaryDir folder_;
};

} // namespace fuzzsupport
