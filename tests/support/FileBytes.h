#pragma once

#include <QByteArray>
#include <QString>

namespace tavik::testsupport {

// A file's whole content; empty when it cannot be read, so that a missing file compares unequal
// to one that was there.
QByteArray bytesOf(const QString& path);

// Replaces a file's content; false when it cannot be written whole.
bool writeFile(const QString& path, const QByteArray& content);

} // namespace tavik::testsupport
