#include "app/folderlister.h"

#include "app/backgroundwork.h"
#include "engine/journal.h"
#include "selection/platformdir.h"
#include "toolkit/textmeasure.h"

#include <QFileInfo>

#include <future>
#include <memory>
#include <optional>
#include <utility>

namespace {
// A folder read before the window exists (FolderLister::listEarly).
struct EarlyListing {
    QString folder; // as its worker found it from the path given; "" for no folder or file
    QString filter;
    FileListData files;
    QString folderPath;
    std::promise<void> read;
    std::shared_future<void> done = read.get_future().share();
};

std::shared_ptr<EarlyListing> &earlyListing()
{
    static std::shared_ptr<EarlyListing> early;
    return early;
}

std::function<void()> &beforeListing()
{
    static std::function<void()> hook;
    return hook;
}

// The folder a path lists: a folder itself, a file the folder it is in, anything else none
// (missing is then set). The look waits for a card or share that does not answer, so it is
// only ever made on a worker.
QString folderOf(const QString &path, bool *missing = nullptr)
{
    if (path.isEmpty())
        return QString();
    const QFileInfo info(path);
    const bool isDir = info.isDir(), exists = isDir || info.isFile();
    if (missing)
        *missing = !exists;
    return isDir ? info.absoluteFilePath() : exists ? info.absolutePath() : QString();
}
} // namespace

void FolderLister::setBeforeListingForTest(std::function<void()> hook)
{
    beforeListing() = std::move(hook);
}

FolderLister::FolderLister(QObject *parent)
    : QObject(parent)
{
}

void FolderLister::list(const QString &path, const QString &filter, const QFont &listFont, bool intoMobix,
                        bool fromOutside)
{
    auto listing = std::make_shared<FolderListing>();
    listing->intoMobix = intoMobix;
    // Only the first listing may take the early reading, and only of the same folder and filter;
    // the folder is known once the early reading's worker has looked at the path.
    std::shared_ptr<EarlyListing> early = std::exchange(earlyListing(), nullptr);
    if (early && early->filter != filter)
        early.reset();
    std::vector<std::function<void()>> works{[listing, path, filter, listFont, early, fromOutside,
                                              hook = beforeListing()] {
        if (hook)
            hook();
        bool missing = false;
        const QString folder = folderOf(path, &missing);
        if (missing && fromOutside)
            listing->missingPath = path;
        const QString sixSpaces = QStringLiteral("      ");
        std::optional<toolkit::WidestText> measure;
        bool taken = false;
        if (early) {
            // The measure's model is made while the early reading goes on.
            measure.emplace(listFont, sixSpaces);
            early->done.wait();
            if ((taken = early->folder == folder)) {
                listing->files = std::move(early->files);
                listing->folderPath = early->folderPath;
            }
        }
        if (!taken)
            listing->folderPath = FillFileList(listing->files, filter, false, folder, {});
        // Measured here, it costs the window's thread nothing: tens of milliseconds for 100,000 files.
        if (!measure && !listing->files.entries.isEmpty())
            measure.emplace(listFont, sixSpaces);
        listing->extent = measure ? measure->widest(listing->files.entries) : 0;
        // The journal's name comes from the folder's real path, which resolving would cost the
        // window's thread a look at every folder on the way, after every change of an option.
        listing->journalPath = listing->folderPath.isEmpty() ? QString() : journalPath(listing->folderPath);
    }};
    // The names the preview checks new names against are read beside the listing, on a second
    // worker: renaming and copying beside the originals, the folder's own names.
    if (!path.isEmpty())
        works.push_back([listing, path, intoMobix] {
            if (const QString folder = folderOf(path); !folder.isEmpty())
                listing->names = readPreviewNames(folderWithSeparator(folder), intoMobix);
        });
    startInBackground(this, works, [this, listing] { emit listed(*listing); }, m_inline);
}

void FolderLister::listEarly(const QString &path, const QString &filter)
{
    auto early = std::make_shared<EarlyListing>();
    early->filter = filter;
    startInBackground([early, path] {
        early->folder = folderOf(path);
        if (!early->folder.isEmpty())
            early->folderPath = FillFileList(early->files, early->filter, false, early->folder, {});
        early->read.set_value();
    });
    earlyListing() = std::move(early);
}

void FolderLister::readNames(const QString &folder, bool intoMobix)
{
    auto names = std::make_shared<PreviewNamesPtr>();
    startInBackground(
        this, {[names, folder, intoMobix] { *names = readPreviewNames(folder, intoMobix); }},
        [this, names, intoMobix] { emit namesRead(intoMobix, *names); }, m_inline);
}
