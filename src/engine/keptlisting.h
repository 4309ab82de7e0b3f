#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "engine/platformfs.h"

// A listing of a folder kept for the run that follows it, so that the run reads the folder no
// second time. The run takes it only while the folder's entries have provably not changed
// since the listing began; otherwise it reads the folder itself, as without it.

struct KeptFiles;

// Collects what one listing sees of the folder's regular files (links not followed).
class ListingKeeper
{
public:
    // Stamps the folder before it is read; nothing is kept where the stamp cannot prove a later
    // change (a file system whose stamps do not come from this machine, a change too recent).
    explicit ListingKeeper(const Folder &folder);
    ~ListingKeeper();
    void reserve(size_t files);
    void add(const NativeName &name, quint64 inode);
    // The listing read the folder to its end: kept for the next run there, replacing any other.
    void keep();

private:
    std::unique_ptr<KeptFiles> m_files;
};

// Hands over the regular files the last listing of this folder saw, as a listing of the folder
// now would name them, and forgets them; false, handing nothing, when the folder's entries may
// have changed since that listing or no listing of it is kept.
bool takeKeptListing(const Folder &folder, const std::function<void(const ListedName &listed)> &take);
