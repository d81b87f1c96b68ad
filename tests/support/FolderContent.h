#pragma once

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QMap>
#include <QString>

namespace tavik::testsupport {

// Every entry below a folder with its bytes (folders and links by their kind), so that two
// snapshots compare equal only when nothing was added, removed or changed.
inline QMap<QString, QByteArray> folderContent(const QString& folder)
{
    QMap<QString, QByteArray> content;
    QDirIterator entries(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
        QDirIterator::Subdirectories);
    while (entries.hasNext()) {
        const QFileInfo entry(entries.next());
        const QString name = QDir(folder).relativeFilePath(entry.filePath());
        if (entry.isSymLink())
            content.insert(name, "link to " + QFile::encodeName(entry.symLinkTarget()));
        else if (entry.isDir())
            content.insert(name, "folder");
        else if (QFile file(entry.filePath()); file.open(QIODevice::ReadOnly))
            content.insert(name, file.readAll());
        else
            content.insert(name, "unreadable");
    }
    return content;
}

} // namespace tavik::testsupport
