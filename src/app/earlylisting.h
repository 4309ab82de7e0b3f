#pragma once

#include "selection/filelist.h"

#include <QString>

#include <future>
#include <memory>

// A folder read before the window exists: the program reads the folder it was started with
// while the window's library loads and the window is made (main.cpp), and the window's first
// listing takes that reading when its folder and filter are the same (FolderLister::takeEarly).
struct EarlyListing {
    QString folder;
    QString filter;
    FileListData files;
    QString folderPath; // what FillFileList returned
    std::promise<void> read;
    std::shared_future<void> done = read.get_future().share();
};
using EarlyListingPtr = std::shared_ptr<EarlyListing>;
