#include "folderpicker.h"

#include "platformdir.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QIdentityProxyModel>
#include <QLocale>
#include <QMimeData>
#include <QUrl>

namespace {

FolderChooser &injectedChooser()
{
    static FolderChooser chooser;
    return chooser;
}

// The file model writes dates in the system's language; the dialog's other texts are German,
// so its date column is too.
class GermanDates : public QIdentityProxyModel
{
public:
    using QIdentityProxyModel::QIdentityProxyModel;
    QVariant data(const QModelIndex &index, int role) const override
    {
        const auto *files = qobject_cast<const QFileSystemModel *>(sourceModel());
        if (files && role == Qt::DisplayRole && index.column() == DateColumn) {
            return QLocale(QLocale::German, QLocale::Germany)
                .toString(files->lastModified(mapToSource(index)), QLocale::ShortFormat);
        }
        return QIdentityProxyModel::data(index, role);
    }

private:
    static constexpr int DateColumn = 3;
};

bool isInside(const QString &path, const QString &root)
{
    const QString cleanPath = QDir::cleanPath(path);
    const QString cleanRoot = QDir::cleanPath(root);
    return cleanPath == cleanRoot
        || cleanPath.startsWith(cleanRoot.endsWith(QLatin1Char('/')) ? cleanRoot
                                                                     : cleanRoot + QLatin1Char('/'));
}

// Keeps the dialog inside the root folder: entering a folder outside it goes back to the root.
void confineTo(QFileDialog &dialog, const QString &root)
{
    dialog.setSidebarUrls({QUrl::fromLocalFile(root)});
    QObject::connect(&dialog, &QFileDialog::directoryEntered, &dialog,
                     [&dialog, root](const QString &folder) {
                         if (!isInside(folder, root))
                             dialog.setDirectory(root);
                     });
}

QString runFolderDialog(const BrowseRequest &request)
{
    QFileDialog dialog(request.owner, request.prompt);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setOption(QFileDialog::ShowDirsOnly, !request.showFiles);
    dialog.setWindowModality(request.owner ? Qt::WindowModal : Qt::ApplicationModal);
    dialog.setLocale(QLocale(QLocale::German, QLocale::Germany));
    dialog.setProxyModel(new GermanDates(&dialog));

    const bool hasRoot = !request.rootFolder.isEmpty() && QFileInfo(request.rootFolder).isDir();
    // The platform's own dialog cannot be confined to a root, and the old style is Qt's own.
    dialog.setOption(QFileDialog::DontUseNativeDialog, hasRoot || !request.newStyle);

    // A start folder that does not exist is passed over without a word, as the shell does.
    const bool startExists = !request.startFolder.isEmpty() && QFileInfo(request.startFolder).isDir();
    if (hasRoot) {
        confineTo(dialog, request.rootFolder);
        const bool startInside = startExists && isInside(request.startFolder, request.rootFolder);
        dialog.setDirectory(startInside ? request.startFolder : request.rootFolder);
    } else if (startExists) {
        dialog.setDirectory(request.startFolder);
    }

    for (;;) {
        if (dialog.exec() != QDialog::Accepted)
            return QString();
        const QStringList chosen = dialog.selectedFiles();
        if (chosen.isEmpty())
            return QString();
        // A folder typed into the name field bypasses the navigation guard.
        if (!hasRoot || isInside(chosen.first(), request.rootFolder))
            return chosen.first();
        dialog.setDirectory(request.rootFolder);
    }
}

} // namespace

void setFolderChooser(FolderChooser chooser)
{
    injectedChooser() = std::move(chooser);
}

QString BrowseForFolder(const QString &prompt, const QString &startFolder, QWidget *owner, bool statusLine,
                        const QString &rootFolder, bool newStyle, bool showFiles)
{
    BrowseRequest request;
    // "$" marks the status line of the shell's dialog, so it is never shown as a prompt there.
    request.prompt = (statusLine && prompt == QLatin1String("$")) ? QString() : prompt;
    request.startFolder = startFolder;
    request.owner = owner;
    request.statusLine = statusLine;
    request.rootFolder = rootFolder;
    request.newStyle = newStyle;
    request.showFiles = showFiles;

    const FolderChooser &chooser = injectedChooser();
    const QString chosen = chooser ? chooser(request) : runFolderDialog(request);
    if (chosen.isEmpty())
        return QString();
    return folderWithoutSeparator(chosen);
}

QString browseStartFolder(const QString &listedFolder)
{
    return QDir::toNativeSeparators(listedFolder.isEmpty() ? QDir::homePath() : QDir::cleanPath(listedFolder));
}

QString droppedPath(const QMimeData *mime)
{
    if (!mime)
        return QString();
    for (const QUrl &url : mime->urls()) {
        if (url.isLocalFile())
            return url.toLocalFile();
    }
    return QString();
}
