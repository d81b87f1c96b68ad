#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <memory>

namespace tavik::reliability {

// A file system of a test's own, mounted over a folder for as long as the object lives, in a mount
// namespace of the test process where the system allows one. Mounting needs the right to (root in
// CI, and a container that allows it); whyNot then says what failed, so a test can fall back to
// another way or skip with that reason.
class TestMount {
public:
    // An empty tmpfs of the given size: a disk that fills up.
    static std::unique_ptr<TestMount> smallDisk(const QString& folder, qint64 bytes, QString& whyNot);
    // The folder with its content, mounted once more read-only: nobody may write there, not even
    // root, who ignores permission bits.
    static std::unique_ptr<TestMount> readOnly(const QString& folder, QString& whyNot);

    ~TestMount();
    TestMount(const TestMount&) = delete;
    TestMount& operator=(const TestMount&) = delete;

private:
    explicit TestMount(QByteArray folder);
    QByteArray folder_;
};

// A temporary folder for a test's files, on a tmpfs of the given size where this machine allows
// one. The program syncs every transaction to the disk; on a real one that makes hundreds of runs
// slow without testing anything more, since a crash or a fault never depends on it.
class WorkFolder {
public:
    explicit WorkFolder(qint64 bytes);

    bool isValid() const { return dir_.isValid(); }
    QString path() const { return dir_.path(); }
    QString filePath(const QString& name) const { return dir_.filePath(name); }
    // Empty on a tmpfs; otherwise why the folder stays on the disk.
    const QString& whyOnDisk() const { return whyOnDisk_; }

private:
    QTemporaryDir dir_;
    // Declared after dir_, so it is unmounted before the folder is removed.
    std::unique_ptr<TestMount> mount_;
    QString whyOnDisk_;
};

} // namespace tavik::reliability
