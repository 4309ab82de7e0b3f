#include "filelist.h"

#include "filtercatalogue.h"
#include "platformdir.h"

#include <algorithm>
#include <numeric>
#include <vector>

#include <QCollator>
#include <QCollatorSortKey>
#include <QLocale>

namespace {

qsizetype lastDotOfName(const QString &fileName, qsizetype nameStart)
{
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    return dot >= nameStart ? dot : -1;
}

// Name order as file managers show it. The C locale would compare code points and ignore the
// numeric mode, so it falls back to German, the language of the program.
QCollator nameCollator()
{
    QLocale locale;
    if (locale.language() == QLocale::C)
        locale = QLocale(QLocale::German, QLocale::Germany);
    QCollator collator(locale);
    collator.setNumericMode(true);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    return collator;
}

// Sort keys turn the many comparisons of a large folder into byte comparisons; names the
// collator finds equal ("a.mp3", "A.mp3") keep a fixed order by their native bytes.
void sortByName(std::vector<FolderFile> &files)
{
    const QCollator collator = nameCollator();
    std::vector<QCollatorSortKey> keys;
    keys.reserve(files.size());
    for (const FolderFile &file : files)
        keys.push_back(collator.sortKey(file.name));
    std::vector<size_t> order(files.size());
    std::iota(order.begin(), order.end(), size_t(0));
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        const int result = keys[a].compare(keys[b]);
        return result != 0 ? result < 0 : files[a].nativeName < files[b].nativeName;
    });
    std::vector<FolderFile> sorted;
    sorted.reserve(files.size());
    for (size_t index : order)
        sorted.push_back(std::move(files[index]));
    files = std::move(sorted);
}

} // namespace

void FileListData::clear()
{
    entries.clear();
    extensions.clear();
    nativeNames.clear();
}

int FileListData::count() const
{
    return int(entries.size());
}

QString GetFileExtension(const QString &fileName)
{
    const qsizetype dot = lastDotOfName(fileName, lastSeparator(fileName) + 1);
    return dot < 0 ? QString() : fileName.mid(dot + 1);
}

QString GetFileBaseName(const QString &fileName)
{
    const qsizetype nameStart = lastSeparator(fileName) + 1;
    const qsizetype dot = lastDotOfName(fileName, nameStart);
    return fileName.mid(nameStart, (dot < 0 ? fileName.size() : dot) - nameStart);
}

QString GetFileFolder(const QString &filePath)
{
    return filePath.left(lastSeparator(filePath) + 1);
}

bool isRepresentableFolder(const QString &folderPath)
{
#ifdef Q_OS_WIN
    Q_UNUSED(folderPath);
    return true;
#else
    return !folderPath.contains(QChar::ReplacementCharacter);
#endif
}

QString FillFileList(FileListData &lists, const QString &filterText, bool askForFolder,
                     const QString &folderPath, const BrowseFunction &browse)
{
    lists.clear();
    QString folder = folderPath;
    if (askForFolder)
        folder = browse ? browse() : QString();

    // A path shown with U+FFFD cannot be turned back into the bytes of the folder the user
    // chose; encoded again it could name another folder, so nothing is listed.
    std::vector<FolderFile> files;
    if (!isRepresentableFolder(folder) || !readFolderFiles(folder, files) || files.empty())
        return QString();

    // Filtering first keeps the sort to the files that will be shown.
    std::vector<FolderFile> matching;
    for (FolderFile &file : files) {
        if (matchesFilter(filterText, GetFileExtension(file.name)))
            matching.push_back(std::move(file));
    }
    sortByName(matching);

    lists.entries.reserve(qsizetype(matching.size()));
    lists.extensions.reserve(qsizetype(matching.size()));
    lists.nativeNames.reserve(qsizetype(matching.size()));
    for (FolderFile &file : matching) {
        lists.extensions.append(GetFileExtension(file.name));
        lists.entries.append(std::move(file.name));
        lists.nativeNames.append(std::move(file.nativeName));
    }
    return folderWithSeparator(folder);
}
