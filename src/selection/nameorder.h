#pragma once

#include "selection/platformdir.h"

#include <vector>

// The files' indices in name order as file managers show it: the collator of the user's language
// (German where the system names none), case-insensitive, digit runs compared as numbers
// ("Track 2" before "Track 10"); names the collator finds equal ("a.mp3", "A.mp3") keep a
// fixed order by their native bytes.
std::vector<size_t> nameOrder(const std::vector<FolderFile> &files);
