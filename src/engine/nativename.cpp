#include "nativename.h"

#include <QFile>

QString decodeNativeName(const NativeName &name)
{
#ifdef Q_OS_WIN
    return name;
#else
    return QFile::decodeName(name);
#endif
}

NativeName encodeNativeName(const QString &name)
{
#ifdef Q_OS_WIN
    return name;
#else
    return QFile::encodeName(name);
#endif
}
