#include "store/ScratchFile.h"

#include "store/FileReplace.h"

#ifndef Q_OS_WIN
#include <QFile>

#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace tavik::store {

#ifndef Q_OS_WIN
int openScratchDescriptor(const QString& folder)
{
    const int descriptor = openUnnamedFile(folder, O_RDWR);
    if (descriptor >= 0)
        return descriptor;
    // Removed at once: the name stands for an instant, the open file lives on.
    QByteArray name = QFile::encodeName(folder) + "/.tavik-scratch-XXXXXX";
    const int named = ::mkstemp(name.data());
    if (named >= 0)
        ::unlink(name.constData());
    return named;
}
#endif

} // namespace tavik::store
