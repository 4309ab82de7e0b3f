// The main window's event handling: loading and unloading, the file list's buttons, the
// batch run, the length check and the other option controls.
#include "app/mainwindow.h"

#include "app/backgroundwork.h"
#include "app/messages.h"
#include "app/specialselect.h"
#include "engine/journal.h"
#include "selection/filtercatalogue.h"
#include "selection/folderpicker.h"
#include "selection/platformdir.h"
#include "settings/lengthtext.h"
#include "settings/optionsstore.h"
#include "toolkit/checklist.h"
#include "toolkit/controls.h"
#include "toolkit/messagebox.h"
#include "toolkit/progressbar.h"
#include "toolkit/textmeasure.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>

#include <optional>
#include <utility>

namespace {
const QString AboutMessage = QStringLiteral(
    "Kappwerk v0.3b by Ostwerk.\r\n\r\nHerzlichen Dank an Ombrel für die Tests, Hinweise und Vorschläge.");
const QString FolderPrompt = QStringLiteral("Bitte wählen Sie den Ordner mit den Dateien aus.");
const QString UnrepresentableFolderMessage = QStringLiteral(
    "Der Name dieses Ordners enthält Zeichen, die Kappwerk nicht darstellen kann. Bitte benennen Sie den "
    "Ordner um oder wählen Sie einen anderen.");
} // namespace

void Main::connectEvents()
{
    connect(m_open, &QPushButton::clicked, this, &Main::openClick);
    connect(m_cut, &QPushButton::clicked, this, &Main::cutClick);
    connect(m_about, &QPushButton::clicked, this, &Main::aboutClick);
    connect(m_close, &QPushButton::clicked, this, &QWidget::close);
    connect(m_allFiles, &QPushButton::clicked, this, [this] { m_fileList->setAllSelected(true); });
    connect(m_noFiles, &QPushButton::clicked, this, [this] { m_fileList->setAllSelected(false); });
    connect(m_selectSpecial, &QPushButton::clicked, this, &Main::selectSpecialClick);
    // Changes made by the program raise these as the user's do, which loading relies on.
    connect(m_extension, &QComboBox::currentIndexChanged, this, &Main::extensionClick);
    connect(m_maxFileLength, &QLineEdit::textChanged, this, &Main::maxFileLengthChange);
    connect(m_overwrite, &QCheckBox::stateChanged, this, &Main::overwriteClick);
}

void Main::load()
{
    for (const QString &entry : extensionCatalogue())
        m_extension->addItem(entry);
    m_progress->setProgress(toolkit::ProgressBar::Maximum);

    const StoredOptions options = readOptions(m_settings);
    m_extension->setCurrentIndex(options.extensionIndex);
    m_specialListe = options.specialListe;
    m_cutAfterLength->setChecked(options.cutAfterLength);
    m_rename->setChecked(options.rename);
    m_maxFileLength->setText(options.maxFileLength);
    m_newFilename->setText(options.newFilename);
    toolkit::setCheckValue(m_overwrite, options.overwrite);
    toolkit::setCheckValue(m_subdirectory, options.subdirectory);
    m_subdirectory->setEnabled(options.subdirectoryEnabled);
    toolkit::setCheckValue(m_special, options.special);
}

void Main::unload()
{
    if (m_unloaded)
        return;
    m_unloaded = true;
    writeOptions(m_settings, storedOptions());

    // An open allowed-characters dialog goes with the program without writing back.
    m_specialSelect.reset();
    emit unloaded();
}

StoredOptions Main::storedOptions() const
{
    StoredOptions options;
    options.extensionIndex = m_extension->currentIndex();
    options.specialListe = m_specialListe;
    options.cutAfterLength = m_cutAfterLength->isChecked();
    options.rename = m_rename->isChecked();
    options.maxFileLength = m_maxFileLength->text();
    options.newFilename = m_newFilename->text();
    options.overwrite = toolkit::checkValue(m_overwrite);
    options.subdirectory = toolkit::checkValue(m_subdirectory);
    options.subdirectoryEnabled = m_subdirectory->isEnabled();
    options.special = toolkit::checkValue(m_special);
    return options;
}

void Main::openClick()
{
    refillFileList(true);
}

void Main::extensionClick()
{
    if (m_folderPath.isEmpty())
        return;
    refillFileList(false);
}

void Main::refillFileList(bool askForFolder)
{
    // Both lists are empty before the folder dialog shows. Freeing 100,000 names takes tens of
    // milliseconds: the old ones go after the new list shows, on a worker.
    m_fileList->clear();
    FileListData shown = std::exchange(m_files, FileListData());
    QString folder = m_folderPath;
    if (askForFolder)
        folder = BrowseForFolder(FolderPrompt, browseStartFolder(), this, true, QString(), true, false);
    if (!isRepresentableFolder(folder)) {
        m_folderPath.clear();
        toolkit::MsgBox(UnrepresentableFolderMessage, toolkit::StyleCritical, QStringLiteral("Fehler"), this);
        return;
    }
    // Reading a folder on a slow card or share can take seconds: it is read on a worker thread
    // while the window repaints and its controls stay locked. The widest entry is measured
    // there too, which takes tens of milliseconds for 100,000 files.
    const QString filter = m_extension->currentText();
    const QFont listFont = m_fileList->font();
    const bool intoMobix = copiesIntoMobix(renameOptions());
    FileListData files;
    QString path;
    QString journal;
    int extent = 0;
    // Input is held back without greying the controls: most folders are read in a blink.
    const bool wasBusy = m_busy;
    std::optional<InputBlocker> blocker;
    if (!wasBusy)
        blocker.emplace(this);
    m_busy = true;
    std::vector<std::function<void()>> work{[&] {
        path = FillFileList(files, filter, false, folder, {});
        // The list scrolls sideways as far as its widest entry plus six spaces.
        extent = toolkit::widestTextWidth(files.entries, listFont, QStringLiteral("      "));
        // The journal's name comes from the folder's real path, which resolving would cost the
        // window's thread a look at every folder on the way, after every change of an option.
        journal = path.isEmpty() ? QString() : journalPath(path);
    }};
    // The preview checks the new names against the target folder's: renaming and copying beside
    // the originals, the folder's names. They are read beside the listing, not on the window's
    // thread (which makes no preview meanwhile).
    PreviewNamesPtr names;
    if (!folder.isEmpty())
        work.push_back([&names, listed = folderWithSeparator(folder), intoMobix] {
            names = ReadPreviewNames(listed, intoMobix);
        });
    runInBackground(work);
    setPreviewNames(intoMobix, std::move(names));
    m_files = std::move(files);
    m_folderPath = path;
    m_journalPath = journal;
    m_fileList->setItems(m_files.entries);
    setFileListExtent(extent);
    m_busy = wasBusy;
    releaseInBackground(std::move(shown));
    // A close asked for while the folder was read takes effect now.
    if (!wasBusy && m_closeRequested)
        close();
}

void Main::setFileListExtent(int widest)
{
    m_fileList->setHorizontalExtent(widest);
}

void Main::aboutClick()
{
    toolkit::MsgBox(AboutMessage, toolkit::StyleInformation, QStringLiteral("About"), this);
}

void Main::selectSpecialClick()
{
    if (!m_specialSelect) {
        m_specialSelect = std::make_unique<SpecialSelect>(
            [this] { return m_specialListe; },
            [this](const QString &list) {
                m_specialListe = list;
                schedulePreview();
            });
    }
    m_specialSelect->showDialog();
}

void Main::maxFileLengthChange(const QString &text)
{
    const LengthValue length = readLengthText(text);
    switch (length.kind) {
    case LengthKind::Empty:
        // Setting the text runs this check again, on "1", which passes.
        m_maxFileLength->setText(QStringLiteral("1"));
        return;
    case LengthKind::NotNumeric: {
        // Take back the character just typed: the one before the cursor. The removal is
        // itself a change and runs this check again.
        const int cursor = m_maxFileLength->cursorPosition();
        const int at = cursor > 0 ? cursor - 1 : 0;
        m_maxFileLength->setText(QString(text).remove(at, 1));
        m_maxFileLength->setCursorPosition(std::min<int>(at, int(m_maxFileLength->text().size())));
        return;
    }
    case LengthKind::OutOfRange:
        toolkit::MsgBox(LengthMessage, toolkit::StyleCritical, QStringLiteral("Achtung"), this);
        m_maxFileLength->setText(StoredOptions().maxFileLength);
        return;
    case LengthKind::Valid:
        return;
    }
}

void Main::overwriteClick()
{
    // Renaming the originals makes the subfolder option meaningless; grey it, keep its tick.
    m_subdirectory->setEnabled(toolkit::checkValue(m_overwrite) != 1);
}
