#pragma once

#include <QString>

namespace tavik::folders {

// The documents folder shared by all users of the computer, from which the newer edition's
// default data path is built. It has the platform's separators and no trailing separator, and is
// empty when the platform knows no such folder. Whether the folder exists is not checked.
QString sharedDocumentsFolder();

// Brings a folder as a platform reports it into that form. Kept apart from the lookup so that its
// cases can be checked on every platform.
QString normalizedFolder(const QString& platformFolder);

} // namespace tavik::folders
