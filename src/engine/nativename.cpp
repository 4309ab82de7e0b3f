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
    // Printable ASCII, most names a run gives, has the same bytes in every encoding a system
    // uses for names: narrowed in place instead of through the encoder.
    if (name.isEmpty())
        return QFile::encodeName(name);
    QByteArray bytes(name.size(), Qt::Uninitialized);
    char *to = bytes.data();
    for (const QChar c : name) {
        if (c.unicode() >= 0x80)
            return QFile::encodeName(name);
        *to++ = char(c.unicode());
    }
    return bytes;
#endif
}
