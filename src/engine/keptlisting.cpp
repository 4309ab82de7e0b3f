#include "keptlisting.h"

#include <mutex>

struct KeptFiles {
    NativeName path;
    FolderStamp stamp;
    std::vector<std::pair<NativeName, quint64>> files;
};

namespace {

std::mutex keptMutex;
std::unique_ptr<KeptFiles> kept;

} // namespace

ListingKeeper::ListingKeeper(const Folder &folder)
{
    auto files = std::make_unique<KeptFiles>();
    bool settled = false;
    if (folderStamp(folder, &files->stamp, &settled) == 0 && settled) {
        files->path = folder.path;
        m_files = std::move(files);
    }
}

ListingKeeper::~ListingKeeper() = default;

void ListingKeeper::reserve(size_t files)
{
    if (m_files)
        m_files->files.reserve(files);
}

void ListingKeeper::add(const NativeName &name, quint64 inode)
{
    if (m_files && inode != 0)
        m_files->files.emplace_back(name, inode);
}

void ListingKeeper::keep()
{
    // Whatever was kept before goes, also when this listing keeps nothing: it is older.
    std::unique_ptr<KeptFiles> old;
    const std::lock_guard<std::mutex> lock(keptMutex);
    old = std::move(kept);
    kept = std::move(m_files);
}

bool takeKeptListing(const Folder &folder, const std::function<void(const ListedName &)> &take)
{
    std::unique_ptr<KeptFiles> files;
    {
        const std::lock_guard<std::mutex> lock(keptMutex);
        if (!kept || kept->path != folder.path)
            return false;
        files = std::move(kept);
    }
    FolderStamp now;
    bool settled = false;
    if (folderStamp(folder, &now, &settled) != 0 || !(now == files->stamp))
        return false;
    for (const auto &[name, inode] : files->files)
        take({name, FileType::Regular, inode});
    return true;
}
