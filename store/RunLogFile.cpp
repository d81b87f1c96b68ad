#include "store/RunLogFile.h"

#include "store/VisibleText.h"

namespace tavik::store {

namespace {
QByteArray notesText(const QStringList& notes)
{
    QString text;
    for (const QString& note : notes)
        text += visibleText(note) + QLatin1Char('\n');
    return text.toUtf8();
}
} // namespace

RunLogFile::RunLogFile(const QString& path, const QStringList& openingNotes)
    : file_(path)
    , openingNotes_(openingNotes.size())
{
    file_.write(notesText(openingNotes));
}

void RunLogFile::add(const SkippedOperation& operation)
{
    if (finished_)
        return;
    QString line = RunLog::describe(operation);
    line.append(u'\n');
    file_.write(line.toUtf8());
    ++count_;
}

bool RunLogFile::finish(const QStringList& notes)
{
    finished_ = true;
    file_.write(QStringLiteral("Übersprungene Vorgänge: %1\n").arg(count_).toUtf8());
    file_.write(notesText(notes.mid(openingNotes_)));
    return file_.commit();
}

} // namespace tavik::store
