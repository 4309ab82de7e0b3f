#pragma once

#include "engine/run.h"
#include "selection/filelist.h"

#include <QString>
#include <QWidget>

#include <memory>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSettings;
class PreviewWindow;
class SpecialSelect;
class WindowRunObserver;
struct PreviewState;
struct RenameOptions;
struct StoredOptions;

namespace toolkit {
class CheckList;
class ProgressBar;
} // namespace toolkit

// The program's one main window: the file list with its filter, the naming and saving
// options, and the four action buttons. Options are restored from the settings store when
// the window is made and written back when it unloads.
class Main : public QWidget
{
    Q_OBJECT
public:
    explicit Main(QSettings &settings, QWidget *parent = nullptr);
    ~Main() override;

    QString folderPath() const { return m_folderPath; }
    const FileListData &files() const { return m_files; }
    QString specialListe() const { return m_specialListe; }
    // The allowed-characters dialog, once it has been opened (for tests).
    SpecialSelect *specialSelect() const { return m_specialSelect.get(); }
    // True while a folder is read or a batch runs: the controls are locked then.
    bool isBusy() const { return m_busy; }
    // Whether the last run in the listed folder can be taken back, and taking it back (asks).
    bool canUndo() const;
    void undoLastRun();
    // What the last batch run did with each ticked entry.
    const RunReport &lastRun() const { return m_lastRun; }
    // Lists a folder given from outside (the command line, a drop) as if chosen with the
    // folder button; a file lists the folder it is in.
    void openFolder(const QString &path);
    // The preview window, once it has been opened (for tests).
    PreviewWindow *previewWindow() const;

signals:
    // A batch run and the refill after it are over.
    void runFinished();
    // The window has stored its options and the program is to end now.
    void unloaded();

protected:
    void closeEvent(QCloseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    void createFileFrame();
    void createOptionsFrame();
    void createActionsFrame();
    void setTabOrder();
    void connectEvents();
    void createRunShortcuts();
    void setUpDesktopEntry();

    void load();
    void unload();

    void openClick();
    void extensionClick();
    void extensionActivated();
    void cutClick();
    void aboutClick();
    void selectSpecialClick();
    void maxFileLengthChange(const QString &text);
    void overwriteClick();

    void refillFileList(bool askForFolder);
    QString browseStartFolder() const;
    // Lets the list scroll sideways as far as widest: its widest entry, measured on the worker
    // that read the folder (tens of milliseconds for 100,000 files).
    void setFileListExtent(int widest);
    StoredOptions storedOptions() const;
    RenameOptions renameOptions() const;
    std::vector<BatchEntry> batchEntries() const;
    void lockControls(bool locked);
    bool askToStopRun();

    // The preview of the next run (previewmarks.cpp): every change of the options, ticks or
    // list schedules one recomputation of the list's new-name tooltips and problem marks.
    void createPreview();
    void schedulePreview();
    void updatePreview();
    void setPreviewNames(bool intoMobix, PreviewNamesPtr names);
    void lookAtFolderLater(bool intoMobix);
    void takeFolderLook();
    void showFileListMenu(const QPoint &screenPosition);
    void showPreviewWindow();

    QSettings &m_settings;
    QString m_folderPath;
    QString m_journalPath;     // where the journal of the listed folder's last run would be
    FileListData m_files;      // index for index with the list: extensions and native names
    QString m_specialListe;    // the allowed-character string
    std::unique_ptr<SpecialSelect> m_specialSelect;
    bool m_busy = false;            // reading a folder or running a batch
    bool m_running = false;         // running a batch
    bool m_closeRequested = false;
    bool m_unloaded = false;
    bool m_subdirectoryEnabled = true; // the subfolder option's own state while locked
    WindowRunObserver *m_observer = nullptr;
    RunReport m_lastRun;
    bool m_filterChanged = false;  // the filter entry changed just before it was activated
    std::unique_ptr<PreviewState> m_preview;

    toolkit::CheckList *m_fileList = nullptr;
    QPushButton *m_allFiles = nullptr;
    QPushButton *m_noFiles = nullptr;
    QComboBox *m_extension = nullptr;
    QRadioButton *m_cutAfterLength = nullptr;
    QLineEdit *m_maxFileLength = nullptr;
    QRadioButton *m_rename = nullptr;
    QLineEdit *m_newFilename = nullptr;
    QCheckBox *m_overwrite = nullptr;
    QCheckBox *m_subdirectory = nullptr;
    QCheckBox *m_special = nullptr;
    QPushButton *m_selectSpecial = nullptr;
    toolkit::ProgressBar *m_progress = nullptr;
    QPushButton *m_open = nullptr;
    QPushButton *m_cut = nullptr;
    QPushButton *m_about = nullptr;
    QPushButton *m_close = nullptr;
};
