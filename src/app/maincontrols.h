#pragma once

#include <QObject>
#include <QPointer>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QWidget;
struct StoredOptions;

namespace toolkit {
class CheckList;
class ProgressBar;
} // namespace toolkit

// The controls of the main window: made at their fixed places in the window's three frames,
// in keyboard order, named for screen readers, and with the rules that belong to the controls
// alone (the length check, the subfolder option greyed while the originals are renamed). The
// window reads and sets the options through them and locks them during a run.
class MainControls : public QObject
{
    Q_OBJECT
public:
    explicit MainControls(QWidget *window);

    // The options as the controls hold them, with the two the allowed-characters dialog sets,
    // which the window keeps.
    StoredOptions options(const QString &allowedCharacters, int transliterate) const;
    void showOptions(const StoredOptions &options);
    // Everything but "Programm beenden", which asks to stop a run. The subfolder option keeps
    // its own greyed state, which is stored with the options.
    void lock(bool locked);

signals:
    // An option the run reads, the list or a tick changed: the preview follows.
    void runInputChanged();

public:

    toolkit::CheckList *fileList = nullptr;
    QPushButton *allFiles = nullptr;
    QPushButton *noFiles = nullptr;
    QComboBox *extension = nullptr;
    QRadioButton *cutAfterLength = nullptr;
    QLineEdit *maxFileLength = nullptr;
    QRadioButton *rename = nullptr;
    QLineEdit *newFilename = nullptr;
    QCheckBox *overwrite = nullptr;
    QCheckBox *subdirectory = nullptr;
    QCheckBox *special = nullptr;
    QPushButton *selectSpecial = nullptr;
    toolkit::ProgressBar *progress = nullptr;
    QPushButton *open = nullptr;
    QPushButton *cut = nullptr;
    QPushButton *about = nullptr;
    QPushButton *close = nullptr;

private:
    void createFileFrame();
    void createOptionsFrame();
    void createActionsFrame();
    void setTabOrder();
    void nameForScreenReaders();
    void maxFileLengthChange(const QString &text);

    QWidget *m_window;
    bool m_locked = false;
    bool m_subdirectoryEnabled = true; // the subfolder option's own state while locked
    QPointer<QWidget> m_focusWhileLocked; // the locked control that had the focus, to get it back
};
