#include "filtercatalogue.h"

#include <array>

namespace {

struct Category
{
    QString header;
    QStringList extensions;
};

const std::array<Category, 4> &categories()
{
    // The sound header has five hyphens on each side, the others six.
    static const std::array<Category, 4> list = {{
        {QStringLiteral("------Bilddateien------"),
         {QStringLiteral("bmp"), QStringLiteral("gif"), QStringLiteral("jpg"), QStringLiteral("jpeg"),
          QStringLiteral("png")}},
        {QStringLiteral("-----Sounddateien-----"),
         {QStringLiteral("aac"), QStringLiteral("amr"), QStringLiteral("mid"), QStringLiteral("mp3"),
          QStringLiteral("wav")}},
        {QStringLiteral("------Textdateien------"),
         {QStringLiteral("doc"), QStringLiteral("pdf"), QStringLiteral("txt")}},
        {QStringLiteral("------Videodateien------"),
         {QStringLiteral("3gp"), QStringLiteral("3gpp"), QStringLiteral("avi"), QStringLiteral("mp4"),
          QStringLiteral("mpg"), QStringLiteral("mpeg")}},
    }};
    return list;
}

// After the entries above, which stored settings refer to by index and keep their meaning: one
// group per kind with today's formats besides the old ones, and a pattern for each new format.
const std::array<Category, 3> &todaysCategories()
{
    static const std::array<Category, 3> list = {{
        {QStringLiteral("----Alle Bilddateien----"),
         {QStringLiteral("bmp"), QStringLiteral("gif"), QStringLiteral("jpg"), QStringLiteral("jpeg"),
          QStringLiteral("png"), QStringLiteral("webp"), QStringLiteral("heic"), QStringLiteral("heif"),
          QStringLiteral("avif"), QStringLiteral("tif"), QStringLiteral("tiff")}},
        {QStringLiteral("----Alle Sounddateien----"),
         {QStringLiteral("aac"), QStringLiteral("amr"), QStringLiteral("mid"), QStringLiteral("mp3"),
          QStringLiteral("wav"), QStringLiteral("flac"), QStringLiteral("ogg"), QStringLiteral("oga"),
          QStringLiteral("opus"), QStringLiteral("m4a"), QStringLiteral("wma"), QStringLiteral("aiff")}},
        {QStringLiteral("----Alle Videodateien----"),
         {QStringLiteral("3gp"), QStringLiteral("3gpp"), QStringLiteral("avi"), QStringLiteral("mp4"),
          QStringLiteral("mpg"), QStringLiteral("mpeg"), QStringLiteral("mkv"), QStringLiteral("mov"),
          QStringLiteral("webm"), QStringLiteral("m4v")}},
    }};
    return list;
}

const QString &separatorLine()
{
    static const QString line(32, QLatin1Char('-'));
    return line;
}

const QString &allFiles()
{
    static const QString pattern = QStringLiteral("*.*");
    return pattern;
}

QStringList buildCatalogue()
{
    QStringList entries;
    for (const Category &category : categories()) {
        entries << category.header;
        for (const QString &extension : category.extensions)
            entries << QStringLiteral("*.") + extension;
    }
    entries << separatorLine() << allFiles();
    for (const Category &category : todaysCategories()) {
        entries << category.header;
        // Only the formats that have no entry of their own above.
        for (const QString &extension : category.extensions) {
            if (!entries.contains(QStringLiteral("*.") + extension))
                entries << QStringLiteral("*.") + extension;
        }
    }
    return entries;
}

} // namespace

const QStringList &extensionCatalogue()
{
    static const QStringList entries = buildCatalogue();
    return entries;
}

bool matchesFilter(const QString &filterText, const QString &extension)
{
    const QString lower = extension.toLower();
    for (const Category &category : categories()) {
        if (filterText == category.header)
            return category.extensions.contains(lower);
    }
    for (const Category &category : todaysCategories()) {
        if (filterText == category.header)
            return category.extensions.contains(lower);
    }
    if (filterText == allFiles() || filterText == separatorLine())
        return true;
    return filterText.size() == lower.size() + 2 && filterText.startsWith(QLatin1String("*."))
        && QStringView(filterText).mid(2) == lower;
}
