#pragma once

#include "store/Connection.h"

#include <QLocale>
#include <QString>

#include <map>
#include <memory>

namespace tavik::store {

class Database;

// The data engine of one program run. All handles and record sources on the same file share one
// connection through it, so a schema change and the writes of different record sources never
// lock each other out. The owner (window or batch driver) keeps it alive longer than its users.
class Engine {
public:
    explicit Engine(QLocale numberFormat);

    const QLocale& numberFormat() const { return numberFormat_; }

    // A database handle: path, exclusive, read-only and a connect string that may carry ";pwd=".
    Database openDatabase(const QString& path, bool exclusive = false, bool readOnly = false,
                          const QString& connect = {});

    // The shared connection for a file, opened on first use.
    std::shared_ptr<Connection> connect(const QString& path, const OpenOptions& options);

    // The password a connect string carries (";pwd=..."), empty when none.
    static QString passwordOf(const QString& connect);

private:
    QLocale numberFormat_;
    std::map<QString, std::weak_ptr<Connection>> connections_;
};

} // namespace tavik::store
