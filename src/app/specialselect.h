#pragma once

#include <array>
#include <functional>

#include <QDialog>
#include <QString>

#include "app/charactertable.h"

class QCheckBox;

// The allowed-characters dialog. It edits a private working copy of the main window's
// allowed-character string as a grid of one check box per character code 32 to 255, and hands
// the copy back only when it closes after a confirming OK. One instance lives as long as the
// program; it is modeless, has no owner and keeps the main window usable behind it.
class SpecialSelect : public QDialog
{
    Q_OBJECT

public:
    // The allowed-character string and whether characters outside it are spelled in ASCII.
    struct Choice {
        QString list;
        bool transliterate = false;
    };
    using ReadList = std::function<Choice()>;
    using WriteList = std::function<void(const Choice &)>;

    // readList gives the main window's choice at each load; writeList receives the working
    // copy and the check box at a confirmed close, and at no other time.
    SpecialSelect(ReadList readList, WriteList writeList);

    // When hidden: load from readList and show centred. When already shown: only bring it to
    // the front, keeping the working copy.
    void showDialog();

    QString workingCopy() const { return m_workingCopy; }
    QCheckBox *box(int k) const;
    QCheckBox *transliterateBox() const { return m_transliterate; }

    static constexpr int minimumCount = 26;

protected:
    // Every way of closing (OK, Abbrechen, the close box, Escape) ends here.
    void done(int result) override;

private:
    void createControls();
    void load();
    void updateBox(int k);
    void toggleRange(QChar first, QChar last);
    void setAllBoxes(bool ticked);
    void confirm();
    void abort();

    ReadList m_readList;
    WriteList m_writeList;
    QString m_workingCopy;
    bool m_confirmed = false;
    std::array<QCheckBox *, charactertable::codeCount> m_boxes{};
    QCheckBox *m_transliterate = nullptr;
};
