#pragma once

#include <QString>
#include <QStringList>

// The entries of the drop-down list `Extension`, in their fixed order: four category headers
// with their patterns, a separator line and "*.*", then three headers for today's formats, each
// with the patterns of its new formats. The texts are compared whole by matchesFilter, so every
// hyphen counts.
const QStringList &extensionCatalogue();

// Whether a file with this extension (without the dot, any case) is listed under the filter
// text. A header lists the patterns below it; "*.*" and the separator line list every file;
// any other text lists the files whose "*." plus lower-case extension equals it exactly.
bool matchesFilter(const QString &filterText, const QString &extension);
