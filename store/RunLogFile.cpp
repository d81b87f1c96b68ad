#include "store/RunLogFile.h"

#include "store/FileReplace.h"
#include "store/VisibleText.h"

#include <QFileInfo>

namespace tavik::store {

RunLogFile::RunLogFile(const QString& path)
    : path_(path)
    , lines_(QFileInfo(path).absolutePath())
{
}

void RunLogFile::add(const SkippedOperation& operation)
{
    if (finished_)
        return;
    QString line = RunLog::describe(operation);
    line.append(u'\n');
    lines_.append(line.toUtf8());
    ++count_;
}

bool RunLogFile::finish(const QStringList& notes)
{
    finished_ = true;
    QString head;
    for (const QString& note : notes)
        head += visibleText(note) + QLatin1Char('\n');
    head += QStringLiteral("Übersprungene Vorgänge: %1\n").arg(count_);
    OwnerOnlyFile file(path_);
    file.write(head.toUtf8());
    return lines_.copyInto(file) && file.commit();
}

} // namespace tavik::store
