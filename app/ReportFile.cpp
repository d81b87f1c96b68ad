#include "app/ReportFile.h"

#include "store/FileReplace.h"
#include "store/StoreTexts.h"

#include <QByteArrayList>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include <charconv>
#include <cmath>
#include <iterator>
#include <string>
#include <string_view>

namespace tavik::app {

namespace {
// Written the way QJsonDocument writes, so the report reads as it did when it was built in memory.
void appendString(std::string& out, QStringView text)
{
    constexpr char hex[] = "0123456789abcdef";
    const auto needsNoEscape = [](char16_t u) { return u >= 0x20 && u < 0x80 && u != u'"' && u != u'\\'; };
    out += '"';
    qsizetype i = 0;
    while (i < text.size()) {
        // Plain ASCII, most of a report, needs neither escape nor encoding.
        // Copied as a run into room made once: appending char by char cost more than the escaping.
        if (needsNoEscape(text[i].unicode())) {
            const qsizetype start = i;
            while (i < text.size() && needsNoEscape(text[i].unicode()))
                ++i;
            const std::size_t at = out.size();
            out.resize(at + std::size_t(i - start));
            char* plain = out.data() + at;
            for (qsizetype k = start; k < i; ++k)
                *plain++ = char(text[k].unicode());
            continue;
        }
        const char16_t u = text[i++].unicode();
        switch (u) {
        case u'"': out += "\\\""; continue;
        case u'\\': out += "\\\\"; continue;
        case u'\b': out += "\\b"; continue;
        case u'\f': out += "\\f"; continue;
        case u'\n': out += "\\n"; continue;
        case u'\r': out += "\\r"; continue;
        case u'\t': out += "\\t"; continue;
        default: break;
        }
        const bool pair = QChar::isHighSurrogate(u) && i < text.size() && QChar::isLowSurrogate(text[i].unicode());
        if (pair) {
            const char32_t code = QChar::surrogateToUcs4(u, text[i++].unicode());
            out += char(0xf0 | (code >> 18));
            out += char(0x80 | ((code >> 12) & 0x3f));
            out += char(0x80 | ((code >> 6) & 0x3f));
            out += char(0x80 | (code & 0x3f));
        } else if (u < 0x20 || QChar::isSurrogate(u)) {
            // A surrogate without its partner has no UTF-8 form.
            out += "\\u";
            for (int shift = 12; shift >= 0; shift -= 4)
                out += hex[(u >> shift) & 0xf];
        } else if (u < 0x800) {
            out += char(0xc0 | (u >> 6));
            out += char(0x80 | (u & 0x3f));
        } else {
            out += char(0xe0 | (u >> 12));
            out += char(0x80 | ((u >> 6) & 0x3f));
            out += char(0x80 | (u & 0x3f));
        }
    }
    out += '"';
}

void appendKey(std::string& out, std::string_view indent, std::string_view key)
{
    out += indent;
    out += '"';
    out += key;
    out += "\": ";
}

// Keys went through a JSON double, which QJsonDocument writes without a fraction or exponent.
void appendNumberOrNull(std::string& out, const std::optional<qint64>& number)
{
    if (!number) {
        out += "null";
        return;
    }
    const double asJson = double(*number);
    if (asJson < 0)
        out += '-';
    char digits[24];
    const auto written = std::to_chars(std::begin(digits), std::end(digits), quint64(std::abs(asJson)));
    out.append(digits, written.ptr);
}

// One entry of the "skipped" array, its keys in QJsonObject's sorted order, appended to out.
void appendEntryJson(std::string& out, const store::SkippedOperation& operation)
{
    constexpr std::string_view in = "            ";
    out += "        {\n";
    appendKey(out, in, "field");
    appendString(out, operation.field);
    out += ",\n";
    appendKey(out, in, "operation");
    appendString(out, operation.operation);
    out += ",\n";
    if (!operation.ownerTable.isEmpty()) {
        appendKey(out, in, "ownerRecord");
        appendNumberOrNull(out, operation.ownerKey);
        out += ",\n";
        appendKey(out, in, "ownerTable");
        appendString(out, operation.ownerTable);
        out += ",\n";
    }
    appendKey(out, in, "reason");
    appendString(out, operation.reason);
    out += ",\n";
    appendKey(out, in, "record");
    appendNumberOrNull(out, operation.recordKey);
    out += ",\n";
    if (operation.sqliteCode != 0) {
        appendKey(out, in, "sqliteCode");
        appendNumberOrNull(out, qint64(operation.sqliteCode));
        out += ",\n";
    }
    if (!operation.sqliteMessage.isEmpty()) {
        appendKey(out, in, "sqliteMessage");
        appendString(out, operation.sqliteMessage);
        out += ",\n";
    }
    appendKey(out, in, "table");
    appendString(out, operation.table);
    out += ",\n";
    appendKey(out, in, "task");
    appendString(out, store::texts::taskName(operation.task));
    out += ",\n";
    appendKey(out, in, "value");
    if (operation.value.isNull())
        out += "null";
    else
        appendString(out, operation.value);
    out += "\n        }";
}

QJsonObject fieldsBesideSkipped(const BatchReport& report)
{
    QJsonArray tasks;
    for (const TaskRecord& task : report.tasks)
        tasks.append(QJsonObject { { QStringLiteral("id"), QLatin1String(store::taskId(task.task)) },
            { QStringLiteral("name"), store::texts::taskName(task.task) }, { QStringLiteral("result"), task.result },
            { QStringLiteral("counts"), task.counts }, { QStringLiteral("skipped"), task.skipped },
            { QStringLiteral("seconds"), task.seconds } });
    QJsonValue skipLimit;
    if (const std::optional<SkipLimitRecord>& limit = report.skipLimit) {
        const auto pathOrNull = [](const QString& path) { return path.isEmpty() ? QJsonValue() : QJsonValue(path); };
        skipLimit = QJsonObject{{QStringLiteral("limit"), limit->limit},
                                {QStringLiteral("allowed"), limit->allowed},
                                {QStringLiteral("skipped"), double(limit->skipped)},
                                {QStringLiteral("exceeded"), limit->exceeded},
                                {QStringLiteral("failedCopy"), pathOrNull(limit->failedCopy)},
                                {QStringLiteral("restoredFrom"), pathOrNull(limit->restoredFrom)}};
    }
    return QJsonObject{{QStringLiteral("source"), report.paths.Datenpfad_alt},
                       {QStringLiteral("check"), report.check},
                       {QStringLiteral("maxSkipped"), skipLimit},
                       {QStringLiteral("target"), report.paths.Datenpfad_neu},
                       {QStringLiteral("backup"), report.backup.isEmpty() ? QJsonValue() : QJsonValue(report.backup)},
                       {QStringLiteral("keptBackup"), report.keptBackup.isEmpty() ? QJsonValue() : QJsonValue(report.keptBackup)},
                       {QStringLiteral("tasks"), tasks},
                       {QStringLiteral("totalSeconds"), report.totalSeconds},
                       {QStringLiteral("exitStatus"), report.exitStatus},
                       {QStringLiteral("message"), report.message},
                       {QStringLiteral("cause"), report.cause.isEmpty() ? QJsonValue() : QJsonValue(report.cause)}};
}

// Known when the run starts to report (a check has no backup); a reader finds what the report is
// about before the list of skipped operations, which can run to megabytes.
QStringList keysBeforeSkipped()
{
    return { QStringLiteral("backup"), QStringLiteral("check"), QStringLiteral("keptBackup"),
        QStringLiteral("target") };
}

// The fields' lines as QJsonDocument indents them inside the report's object, without the comma
// after the last one.
QByteArray members(const QJsonObject& fields, const QStringList& keys)
{
    QByteArrayList lines;
    for (const QString& key : keys) {
        const QByteArray alone = QJsonDocument(QJsonObject { { key, fields[key] } }).toJson(QJsonDocument::Indented);
        lines << alone.sliced(2, alone.size() - 5); // without "{\n" and "\n}\n"
    }
    return lines.join(",\n");
}
} // namespace

ReportFile::ReportFile(const QString& path)
    : path_(path)
{
}

void ReportFile::start(const BatchReport& known)
{
    file_.emplace(path_);
    file_->write("{\n");
    file_->write(members(fieldsBesideSkipped(known), keysBeforeSkipped()));
    file_->write(",\n    \"skipped\": [\n");
}

void ReportFile::add(const store::SkippedOperation& operation)
{
    if (finished_ || !file_)
        return;
    entry_.clear(); // keeps its capacity: one allocation for the whole run
    if (count_ != 0)
        entry_ += ",\n";
    appendEntryJson(entry_, operation);
    file_->write(entry_);
    ++count_;
}

bool ReportFile::finish(const BatchReport& report)
{
    if (!file_)
        start(report);
    finished_ = true;
    const QJsonObject fields = fieldsBesideSkipped(report);
    QStringList keysAfter = fields.keys();
    for (const QString& key : keysBeforeSkipped())
        keysAfter.removeOne(key);
    file_->write(count_ == 0 ? "    ],\n" : "\n    ],\n");
    file_->write(members(fields, keysAfter));
    file_->write("\n}\n");
    return file_->commit();
}

} // namespace tavik::app
