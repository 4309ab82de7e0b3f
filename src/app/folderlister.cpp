#include "app/folderlister.h"

#include "app/backgroundwork.h"
#include "engine/journal.h"
#include "selection/platformdir.h"
#include "toolkit/textmeasure.h"

#include <memory>

FolderLister::FolderLister(QObject *parent)
    : QObject(parent)
{
}

void FolderLister::list(const QString &folder, const QString &filter, const QFont &listFont, bool intoMobix)
{
    auto listing = std::make_shared<FolderListing>();
    listing->intoMobix = intoMobix;
    std::vector<std::function<void()>> works{[listing, folder, filter, listFont] {
        listing->folderPath = FillFileList(listing->files, filter, false, folder, {});
        // Measured here, it costs the window's thread nothing: tens of milliseconds for 100,000 files.
        listing->extent = toolkit::widestTextWidth(listing->files.entries, listFont, QStringLiteral("      "));
        // The journal's name comes from the folder's real path, which resolving would cost the
        // window's thread a look at every folder on the way, after every change of an option.
        listing->journalPath = listing->folderPath.isEmpty() ? QString() : journalPath(listing->folderPath);
    }};
    // The names the preview checks new names against are read beside the listing, on a second
    // worker: renaming and copying beside the originals, the folder's own names.
    if (!folder.isEmpty())
        works.push_back([listing, target = folderWithSeparator(folder), intoMobix] {
            listing->names = readPreviewNames(target, intoMobix);
        });
    startInBackground(this, works, [this, listing] { emit listed(*listing); }, m_inline);
}

void FolderLister::readNames(const QString &folder, bool intoMobix)
{
    auto names = std::make_shared<PreviewNamesPtr>();
    startInBackground(
        this, {[names, folder, intoMobix] { *names = readPreviewNames(folder, intoMobix); }},
        [this, names, intoMobix] { emit namesRead(intoMobix, *names); }, m_inline);
}
