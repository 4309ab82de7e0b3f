#pragma once

#include <QFont>
#include <QString>
#include <QStringList>

#include <memory>

namespace toolkit {

// The exact maximum of QFontMetrics(font).horizontalAdvance(text + suffix) over all texts,
// 0 for none. Shapes only the texts that can still be the widest, so a list of 100,000 file
// names is measured in a few milliseconds. May run on a worker thread: it measures with a
// copy of the font that shares nothing with the font the caller's widgets paint with.
int widestTextWidth(const QStringList &texts, const QFont &font, const QString &suffix);

// The same, with the font's model of widths made at once (a few milliseconds: the font is
// loaded and shaped on probes), so that it can be made while the texts are still being read.
class WidestText
{
public:
    WidestText(const QFont &font, const QString &suffix);
    ~WidestText();
    int widest(const QStringList &texts);

private:
    struct Measure;
    std::unique_ptr<Measure> m;
};

} // namespace toolkit
