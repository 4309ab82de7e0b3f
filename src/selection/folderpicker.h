#pragma once

#include <QString>

#include <functional>

class QMimeData;
class QWidget;

// Everything the caller asks of the folder dialog.
struct BrowseRequest
{
    QString prompt;
    QString startFolder;
    QWidget *owner = nullptr;
    bool statusLine = false;
    QString rootFolder;
    bool newStyle = true;
    bool showFiles = false;
};

// Lets the user choose a folder; returns its path, or "" when the user cancels.
using FolderChooser = std::function<QString(const BrowseRequest &)>;

// Replaces the dialog (tests answer it this way); an empty chooser restores the real dialog.
void setFolderChooser(FolderChooser chooser);

// Asks the user for a folder, modal to the owner, with the start folder preselected when it
// exists. With a root folder the user cannot leave it. A prompt of exactly "$" with the status
// line wanted shows as empty. Returns the chosen folder, a root with its trailing separator
// ("/", "C:\") and any other folder without one, or "" on cancel.
QString BrowseForFolder(const QString &prompt, const QString &startFolder, QWidget *owner,
                        bool statusLine, const QString &rootFolder = QString(),
                        bool newStyle = true, bool showFiles = false);

// Where `Open` starts for a window that lists listedFolder: that folder, or the user's home
// folder while none is listed; with the system's separators.
QString browseStartFolder(const QString &listedFolder);

// The first local file or folder among items dropped on a window; "" when there is none.
QString droppedPath(const QMimeData *mime);
