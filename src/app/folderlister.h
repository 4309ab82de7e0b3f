#pragma once

#include "engine/run.h"
#include "selection/filelist.h"

#include <QFont>
#include <QObject>

#include <functional>

// A folder as the window lists it: the files under the filter, what the list needs to show them,
// and the names the preview checks new names against.
struct FolderListing {
    FileListData files;
    QString folderPath;  // with its trailing separator; "" when nothing could be listed
    QString journalPath; // where the journal of the folder's last run would be
    QString missingPath; // a path given from outside, when it is neither a folder nor a file
    int extent = 0;      // how far the list scrolls sideways: its widest entry plus six spaces
    bool intoMobix = false;
    PreviewNamesPtr names; // the target folder's names, for the preview; empty for no folder
};

// Reads a folder on workers while the window goes on: a folder on a slow card or share can take
// seconds. The result comes back through listed (or namesRead), queued to the window's thread.
class FolderLister : public QObject
{
    Q_OBJECT
public:
    explicit FolderLister(QObject *parent = nullptr);

    // Lists at once on the calling thread, the signal included, before the call returns: tests
    // use that to stay synchronous.
    void setRunInline(bool runInline) { m_inline = runInline; }

    // Lists the folder's files under the filter, measures the widest entry in the list's font,
    // and beside it reads the names of the target (the folder, or its "MOBIX" for intoMobix).
    // A file's path lists the folder it is in. Even the look at the path is made on the workers.
    // fromOutside: the path was given from outside (the command line, a drop), so one that is
    // neither a folder nor a file is told back (missingPath); a listed folder that has gone is not.
    void list(const QString &path, const QString &filter, const QFont &listFont, bool intoMobix,
              bool fromOutside = false);
    // Starts reading the folder the program was started with (or a file's folder) before the
    // window exists: reading 100,000 names takes as long as making the application and its
    // window. The first list asked for takes that reading when its folder and filter are the
    // same, else reads anew.
    static void listEarly(const QString &path, const QString &filter);
    // Reads only the target's names, for a preview whose target changed since the listing.
    void readNames(const QString &folder, bool intoMobix);

    // Test seam: called on the listing's worker before it looks at the path, as a medium that
    // does not answer would hold it there.
    static void setBeforeListingForTest(std::function<void()> hook);

signals:
    void listed(const FolderListing &listing);
    void namesRead(bool intoMobix, const PreviewNamesPtr &names);

private:
    bool m_inline = false;
};
