#pragma once

#include "engine/batchrun.h"

#include <functional>
#include <vector>

// Gets the progress, 0.0001 at the start of a run and then after every entry up to 100.
using ProgressFunction = std::function<void(float value)>;

// Renames or copies every selected entry under its new name. folderPath is the listed folder
// with its trailing separator. Every failing file operation is skipped silently. The run's
// own interface (runBatch in run.h) reports what it did with each entry.
void CutFiles(const std::vector<BatchEntry> &entries, const RenameOptions &options,
              const QString &folderPath, const ProgressFunction &progress);
