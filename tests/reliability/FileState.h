#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

namespace tavik::reliability {

// The bytes of a file; a missing file is told apart from an empty one.
std::optional<QByteArray> contentOf(const QString& path);
bool writeContent(const QString& path, const QByteArray& bytes);

// A file together with any journal or log beside it, as it was when the snapshot was taken.
class FileSnapshot {
public:
    explicit FileSnapshot(QString path);

    // Empty while the file and its neighbours are byte for byte as they were; otherwise what changed.
    QString changes() const;
    const QString& path() const { return path_; }
    QByteArray bytes() const { return bytes_.value_or(QByteArray()); }

private:
    QString path_;
    std::optional<QByteArray> bytes_;
    std::optional<QByteArray> journal_;
    std::optional<QByteArray> log_;
};

// Every ".ba0" beside the target: the start-up backup and the earlier ones kept under dated names.
QStringList backupsBeside(const QString& target);
bool someBackupHolds(const QString& target, const QByteArray& bytes);

// Names in the folder that are neither expected nor backups of the target: temporary copies,
// journals and scratch files that a run left behind (its log is its own).
QStringList leftoversIn(const QString& folder, const QStringList& expectedNames, const QString& target);

// Whether the target carries the mark of a finished import, read without changing anything: a
// journal beside it means a write was cut off, and the mark counts only once its write has ended.
bool markedImported(const QString& target);

} // namespace tavik::reliability
