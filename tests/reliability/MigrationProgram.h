#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <optional>

namespace tavik::reliability {

// What one run of the program left behind on its streams, and how it ended.
struct ProgramResult {
    int exitCode = -1;
    bool endedByItself = false; // false: it crashed, was killed or did not end in time
    QString out;
    QString err;

    // The whole result in a few lines, for the message of a failed check.
    QString describe() const;
};

// The per-user settings store the program reads both data paths from, kept in a folder of the
// test's own so that the tester's own settings are neither read nor touched.
class ProgramSettings {
public:
    explicit ProgramSettings(QString configFolder);

    // Writes both settings files; false when they cannot be written.
    bool pointAt(const QString& source, const QString& target) const;
    QProcessEnvironment environment() const;

private:
    QString configFolder_;
};

// One migration in a temporary folder of its own: a data folder for the older edition's file
// (tavik_20.mdb) and the newer one's (tavik_50.mdb), and a settings store pointing at both.
class MigrationFolder {
public:
    // Below the system's temporary folder, or below the folder given.
    explicit MigrationFolder(const QString& parent = QString());

    bool isValid() const { return valid_; }
    QString path(const QString& name) const { return data_ + QLatin1Char('/') + name; }
    const QString& dataFolder() const { return data_; }
    QString source() const { return path(QStringLiteral("tavik_20.mdb")); }
    QString target() const { return path(QStringLiteral("tavik_50.mdb")); }
    // Points the settings store elsewhere, for paths a test makes up itself.
    bool pointAt(const QString& source, const QString& target) const
    {
        return settings_.pointAt(source, target);
    }
    QProcessEnvironment environment() const { return settings_.environment(); }
    // A batch run with the VAT answer given, followed by the further arguments.
    ProgramResult run(const QStringList& further = {}, qint64 fileSizeLimit = 0) const;

private:
    QTemporaryDir dir_;
    QString data_;
    ProgramSettings settings_;
    bool valid_ = false;
};

// The executable under test, as CMake hands it to the test.
QString programPath();

// A batch run with the VAT answer given, followed by the further arguments.
QStringList batchArguments(const QStringList& further = {});

// Runs the program to its end. A fileSizeLimit above zero limits every file the program writes to
// that many bytes, the way a full disk stops a write.
ProgramResult runProgram(
    const QProcessEnvironment& environment, const QStringList& arguments, qint64 fileSizeLimit = 0);

// Runs the program to its end and gives its peak resident memory in KiB, as the kernel counted it
// for that process alone; nothing when it could not be started or did not end with status 0.
std::optional<long> peakMemoryOfRun(const QProcessEnvironment& environment, const QStringList& arguments);

// The same as another user: the program's process drops to that user and group before it starts,
// as an office colleague without the rights of the file's owner would run it.
ProgramResult runProgramAs(uint user, const QProcessEnvironment& environment, const QStringList& arguments);

// The user whose rights tests drop to, and a folder tree handed to that user.
constexpr uint unprivilegedUser = 65534;
bool handOver(const QString& folder, uint user);

} // namespace tavik::reliability
