#include "store/SystemErrorText.h"

#include <cerrno>

namespace tavik::store {

QString germanSystemError(int errorNumber)
{
    switch (errorNumber) {
    case ENOENT:
        return QStringLiteral("nicht vorhanden");
    case EACCES:
    case EPERM:
        return QStringLiteral("keine Berechtigung");
    case EROFS:
        return QStringLiteral("der Datenträger ist nur lesbar eingehängt");
    case ENOSPC:
        return QStringLiteral("kein Platz mehr auf dem Datenträger");
#ifdef EDQUOT
    case EDQUOT:
        return QStringLiteral("das Speicherkontingent ist erschöpft");
#endif
    case ENAMETOOLONG:
        return QStringLiteral("der Name ist zu lang");
    case EISDIR:
        return QStringLiteral("dort liegt ein Ordner");
    case ENOTDIR:
        return QStringLiteral("ein Teil des Pfades ist kein Ordner");
    case EBUSY:
        return QStringLiteral("die Datei ist in Benutzung");
    case EIO:
        return QStringLiteral("Ein-/Ausgabefehler des Datenträgers");
    case EFBIG:
        return QStringLiteral("die Datei wird zu groß");
    case ELOOP:
        return QStringLiteral("zu viele symbolische Verknüpfungen");
    default:
        return QStringLiteral("Systemfehler Nr. %1").arg(errorNumber);
    }
}

} // namespace tavik::store
