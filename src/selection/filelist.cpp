#include "filelist.h"

#include "filtercatalogue.h"
#include "nameorder.h"
#include "platformdir.h"

#include <algorithm>
#include <vector>

namespace {

qsizetype lastDotOfName(const QString &fileName, qsizetype nameStart)
{
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    return dot >= nameStart ? dot : -1;
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

    // Filtering first keeps the sort to the files that will be shown; each extension is cut
    // once and kept for the list. Most files of a folder share their extension, so the filter
    // is asked again only when it changes, and the files that share it share its text.
    QString lastExtension;
    bool asked = false, lastMatches = false;
    const auto unmatched = std::remove_if(files.begin(), files.end(), [&](FolderFile &file) {
        // A listed name holds no separator, so its last dot starts the extension.
        const qsizetype dot = file.name.lastIndexOf(QLatin1Char('.'));
        const QStringView extension = dot < 0 ? QStringView() : QStringView(file.name).sliced(dot + 1);
        if (!asked || extension != lastExtension) {
            lastExtension = extension.toString();
            lastMatches = matchesFilter(filterText, lastExtension);
            asked = true;
        }
        file.extension = lastExtension;
        return !lastMatches;
    });
    files.erase(unmatched, files.end());

    lists.entries.reserve(qsizetype(files.size()));
    lists.extensions.reserve(qsizetype(files.size()));
    lists.nativeNames.reserve(qsizetype(files.size()));
    for (const size_t index : nameOrder(files)) {
        FolderFile &file = files[index];
        lists.extensions.append(std::move(file.extension));
        lists.entries.append(std::move(file.name));
        lists.nativeNames.append(std::move(file.nativeName));
    }
    return folderWithSeparator(folder);
}
