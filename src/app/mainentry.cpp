// The ways into the main window besides its folder button: a folder from the command line or
// dropped from the file manager, the keyboard's shortcuts, relisting by choosing the filter
// entry again, and the names a screen reader gives the controls.
#include "app/mainwindow.h"

#include "toolkit/checklist.h"
#include "toolkit/messagebox.h"
#include "toolkit/progressbar.h"

#include <QComboBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QTimer>
#include <QUrl>

#include <utility>

namespace {

// The first local file or folder among the dropped items; "" when there is none.
QString droppedPath(const QMimeData *mime)
{
    if (!mime)
        return QString();
    for (const QUrl &url : mime->urls()) {
        if (url.isLocalFile())
            return url.toLocalFile();
    }
    return QString();
}

} // namespace

void Main::setUpDesktopEntry()
{
    setAcceptDrops(true);
    // A folder dropped on a field lists it too, instead of putting its path into the name pattern.
    m_maxFileLength->setAcceptDrops(false);
    m_newFilename->setAcceptDrops(false);
    connect(new QShortcut(QKeySequence::Open, this), &QShortcut::activated, this, &Main::openClick);
    connect(new QShortcut(QKeySequence(Qt::Key_F5), this), &QShortcut::activated, this, &Main::extensionClick);

    // Choosing another entry lists through currentIndexChanged, which the combo box raises just
    // before activated; only the entry that was already chosen still needs listing. A change
    // by the program is followed by no activation, so the mark does not outlive this event.
    connect(m_extension, &QComboBox::currentIndexChanged, this, [this] {
        m_filterChanged = true;
        QTimer::singleShot(0, this, [this] { m_filterChanged = false; });
    });
    connect(m_extension, &QComboBox::activated, this, &Main::extensionActivated);

    // Picture buttons have no caption for a screen reader to read out.
    m_allFiles->setAccessibleName(m_allFiles->toolTip());
    m_noFiles->setAccessibleName(m_noFiles->toolTip());
    m_open->setAccessibleName(QStringLiteral("Ordner öffnen"));
    m_cut->setAccessibleName(QStringLiteral("Dateinamen ändern"));
    m_about->setAccessibleName(QStringLiteral("Über Kappwerk"));
    m_close->setAccessibleName(QStringLiteral("Programm beenden"));
    m_fileList->setAccessibleName(QStringLiteral("Dateiliste"));
    m_extension->setAccessibleName(QStringLiteral("Dateityp-Filter"));
    // The length field sits in the gap of the option's caption; read together they make sense.
    m_cutAfterLength->setAccessibleName(QStringLiteral("Nach … Zeichen abschneiden"));
    m_maxFileLength->setAccessibleName(QStringLiteral("Anzahl Zeichen, nach der abgeschnitten wird"));
    m_newFilename->setAccessibleName(QStringLiteral("Muster für den neuen Namen"));
    m_progress->setAccessibleName(QStringLiteral("Fortschritt"));
}

void Main::openFolder(const QString &path)
{
    if (m_running)
        return;
    const QFileInfo info(path);
    if (info.isDir() || info.isFile()) {
        m_folderPath = info.isDir() ? info.absoluteFilePath() : info.absolutePath();
        refillFileList(false);
        return;
    }
    m_folderPath.clear();
    refillFileList(false);
    toolkit::MsgBox(QStringLiteral("„%1“ ist kein Ordner.").arg(QDir::toNativeSeparators(path)),
                    toolkit::StyleCritical, QStringLiteral("Achtung"), this);
}

QString Main::browseStartFolder() const
{
    if (m_folderPath.isEmpty())
        return QDir::toNativeSeparators(QDir::homePath());
    return QDir::toNativeSeparators(QDir::cleanPath(m_folderPath));
}

void Main::extensionActivated()
{
    if (!std::exchange(m_filterChanged, false))
        extensionClick();
}

void Main::dragEnterEvent(QDragEnterEvent *event)
{
    if (!m_running && !droppedPath(event->mimeData()).isEmpty()) {
        // Only ever a copy: a file manager that was offered a move could delete its items.
        event->setDropAction(Qt::CopyAction);
        event->accept();
    }
}

void Main::dropEvent(QDropEvent *event)
{
    const QString path = droppedPath(event->mimeData());
    if (m_running || path.isEmpty())
        return;
    event->setDropAction(Qt::CopyAction);
    event->accept();
    openFolder(path);
}
