#pragma once

#include <QString>

#include <stdexcept>

namespace tavik::app {

// A settings file that is there but cannot be read as written. The message is German and names
// the file; the program changes nothing then, since any path it went on with could be the wrong one.
class UnreadableSettings : public std::runtime_error {
public:
    explicit UnreadableSettings(const QString& message);
    const QString& message() const { return message_; }

private:
    QString message_;
};

// Where both editions keep their data paths: organisation and application as QSettings names
// them, and the one value read.
namespace editionSettings {
inline const QString organisation = QStringLiteral("VB and VBA Program Settings");
inline const QString olderEdition = QStringLiteral("Tavik 2.0");
inline const QString newerEdition = QStringLiteral("Tavik 5.0");
inline const QString section = QStringLiteral("Startup");
inline const QString dataPathKey = QStringLiteral("Datenpfad");
} // namespace editionSettings

// The settings store the editions themselves use: on Windows their registry area ("VB and VBA
// Program Settings"), on Linux the INI file QSettings would use for the same names. Returns the
// default when no value is stored, and throws UnreadableSettings when the file cannot be read.
QString readUserSetting(const QString& application, const QString& section, const QString& key,
                        const QString& defaultValue);

} // namespace tavik::app
