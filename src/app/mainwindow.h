#pragma once

#include "engine/run.h"
#include "engine/undo.h"
#include "selection/filelist.h"

#include <QString>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

class FileListMenu;
class FolderLister;
class InputBlocker;
class MainControls;
class PreviewController;
class PreviewWindow;
class QSettings;
class RunController;
class SpecialSelect;
struct FolderListing;
struct StoredOptions;

// The program's one main window: the file list with its filter, the naming and saving
// options, and the four action buttons. Options are restored from the settings store when
// the window is made and written back when it unloads. Listings, runs and undos go on workers
// (FolderLister, RunController) and come back through their signals; the window meanwhile is
// in one of a few states. A close asked for during a run takes effect when the run ends; one
// while a folder is read, at once.
class Main : public QWidget
{
    Q_OBJECT
public:
    enum class State {
        Idle,
        Listing, // reading a folder (or the preview's names): input is held back
        Running, // a batch run or an undo, and the listing after it: the controls are locked
        Closing, // a close came during a run: the window closes as soon as the run has ended
        Closed,  // the options are stored, the program ends
    };

    explicit Main(QSettings &settings, QWidget *parent = nullptr);
    ~Main() override;

    QString folderPath() const { return m_folderPath; }
    const FileListData &files() const { return m_files; }
    QString specialListe() const { return m_specialListe; }
    int transliterate() const { return m_transliterate; }
    // The allowed-characters dialog, once it has been opened (for tests).
    SpecialSelect *specialSelect() const { return m_specialSelect.get(); }
    State state() const { return m_state; }
    bool isBusy() const { return m_state != State::Idle; }
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
    // Lists, runs and undoes on the window's own thread, so that each has ended, with its
    // signal, when the call that started it returns: tests use that to stay synchronous.
    void setWorkInline(bool workInline);

signals:
    // A listing shows in the list.
    void listed();
    // A batch run and the listing after it are over.
    void runFinished();
    // The window has stored its options and the program is to end now.
    void unloaded();

protected:
    void closeEvent(QCloseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    void connectEvents();
    void load();
    void unload();
    void setState(State state);
    void workDone();

    void openClick();
    void extensionClick();
    void extensionActivated();
    void cutClick();
    void selectSpecialClick();
    bool askToStopRun();

    void startListing(bool askForFolder);
    void listAfterRun();
    void showListing(const FolderListing &listing);
    void readPreviewNames(const QString &folderPath, bool intoMobix);
    void showRunResult(const std::vector<BatchEntry> &entries, const RunReport &report);
    void showUndoResult(const UndoReport &report);

    RenameOptions renameOptions() const;
    std::optional<RenameOptions> previewOptions() const;
    std::vector<BatchEntry> batchEntries() const;

    QSettings &m_settings;
    MainControls *m_controls;
    FolderLister *m_lister;
    RunController *m_runner;
    PreviewController *m_preview;
    FileListMenu *m_fileListMenu;

    State m_state = State::Idle;
    std::unique_ptr<InputBlocker> m_inputBlocker; // while listing
    // What waits for the listing after a run or an undo: its report (told whether the window
    // is closing).
    std::function<void(bool closing)> m_afterRun;
    bool m_filterChanged = false; // the filter entry changed just before it was activated
    bool m_fromOutside = false;   // the folder to list next was given from outside (openFolder)
    bool m_runLeft = false;       // closing, the run did not stop when asked: the window goes without it

    QString m_folderPath;
    QString m_journalPath;  // where the journal of the listed folder's last run would be
    FileListData m_files;   // index for index with the list: extensions and native names
    QString m_specialListe; // the allowed-character string
    int m_transliterate = 0; // the dialog's "Umlaute und Akzente umschreiben", 0 or 1
    std::unique_ptr<SpecialSelect> m_specialSelect;
    RunReport m_lastRun;
};
