#include "app/mainwindow.h"

#include "app/previewmarks.h"
#include "app/specialselect.h"
#include "toolkit/checklist.h"
#include "toolkit/controls.h"
#include "toolkit/frame.h"
#include "toolkit/progressbar.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace {

QGroupBox *makeFrame(QWidget *parent, const QString &name, const QString &caption, const QRect &geometry)
{
    auto *frame = new toolkit::Frame(caption, parent);
    frame->setObjectName(name);
    frame->setGeometry(geometry);
    return frame;
}

template <typename Widget>
Widget *place(Widget *widget, const QString &name, const QRect &geometry)
{
    widget->setObjectName(name);
    widget->setGeometry(geometry);
    return widget;
}

QPushButton *pictureButton(QWidget *parent, const QString &name, const QRect &geometry,
                           const QString &image, int imageSize, const QString &toolTip)
{
    QPushButton *button = toolkit::makePictureButton(parent, geometry, image, imageSize, toolTip);
    button->setObjectName(name);
    return button;
}

} // namespace

Main::Main(QSettings &settings, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                          | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
                          | Qt::WindowCloseButtonHint)
    , m_settings(settings)
{
    setObjectName(QStringLiteral("Main"));
    setWindowTitle(QStringLiteral("Kappwerk"));
    setWindowIcon(toolkit::svgIcon(QStringLiteral(":/images/kappwerk.svg"), 256));
    setFont(toolkit::standardFont());
    setFixedSize(433, 345);

    createFileFrame();
    createOptionsFrame();
    createActionsFrame();
    toolkit::useCompactLabels(this);
    setTabOrder();
    connectEvents();
    createRunShortcuts();
    setUpDesktopEntry();
    createPreview();
    load();
    toolkit::centreOnScreen(this);
}

Main::~Main() = default;

void Main::createFileFrame()
{
    QGroupBox *frame = makeFrame(this, QStringLiteral("Frame1"), QStringLiteral("Dateiliste:"),
                                 QRect(8, 8, 201, 329));
    m_fileList = place(new toolkit::CheckList(frame), QStringLiteral("FileList"), QRect(8, 16, 185, 274));
    m_allFiles = pictureButton(frame, QStringLiteral("AllFiles"), QRect(8, 296, 25, 25),
                               QStringLiteral(":/images/all.svg"), 19, QStringLiteral("Alle auswählen"));
    m_noFiles = pictureButton(frame, QStringLiteral("NoFiles"), QRect(40, 296, 25, 25),
                              QStringLiteral(":/images/none.svg"), 19, QStringLiteral("Keins auswählen"));
    m_extension = place(new QComboBox(frame), QStringLiteral("Extension"), QRect(72, 296, 121, 21));
    m_extension->setEditable(false);
    // The longest entry is the separator line; let the open list show it whole.
    m_extension->view()->setMinimumWidth(m_extension->fontMetrics().horizontalAdvance(QString(32, u'-')) + 24);
}

void Main::createOptionsFrame()
{
    QGroupBox *frame = makeFrame(this, QStringLiteral("Frame2"), QStringLiteral("Optionen:"),
                                 QRect(216, 8, 209, 257));
    m_cutAfterLength = place(new QRadioButton(QStringLiteral("Nach            Zeichen abschneiden"), frame),
                             QStringLiteral("CutAfterLength"), QRect(8, 24, 185, 25));
    m_cutAfterLength->setChecked(true);
    // The length field sits over the gap of spaces in the caption above; made after the
    // option button, so it lies on top of it.
    m_maxFileLength = place(new QLineEdit(QStringLiteral("30"), frame), QStringLiteral("MaxFileLength"),
                            QRect(56, 24, 25, 19));
    m_maxFileLength->setTextMargins(0, 0, 0, 0);
    // One pixel lower than the option above, so it ends where the pattern field begins.
    m_rename = place(new QRadioButton(QStringLiteral("Umbennen in:"), frame), QStringLiteral("Rename"),
                     QRect(8, 56, 185, 24));
    m_newFilename = place(new QLineEdit(frame), QStringLiteral("NewFilename"), QRect(24, 80, 177, 19));
    m_newFilename->setToolTip(QStringLiteral("%# ist Platzhalter für eine Nummer"));

    auto *line = place(new QFrame(frame), QStringLiteral("Line1"), QRect(8, 119, 193, 2));
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);

    m_overwrite = place(new QCheckBox(QStringLiteral("orginal Dateien ersetzen"), frame),
                        QStringLiteral("Overwrite"), QRect(8, 136, 177, 25));
    m_subdirectory = place(new QCheckBox(QStringLiteral("Im Unterordner MOBIX speichern"), frame),
                           QStringLiteral("Subdirectory"), QRect(8, 168, 185, 25));
    m_subdirectory->setChecked(true);
    // The check box ends where the button on its row begins, so the two never overlap.
    m_special = place(new QCheckBox(QStringLiteral("Sonderzeichen entfernen"), frame),
                      QStringLiteral("Special"), QRect(8, 200, 144, 25));
    m_special->setChecked(true);
    m_selectSpecial = place(new QPushButton(QStringLiteral("suchen"), frame),
                            QStringLiteral("SelectSpecial"), QRect(152, 200, 49, 21));
    m_selectSpecial->setToolTip(QStringLiteral("Sonderzeichen auswählen"));
    m_progress = place(new toolkit::ProgressBar(frame), QStringLiteral("Fortschritt"), QRect(8, 240, 193, 9));
}

void Main::createActionsFrame()
{
    QGroupBox *frame = makeFrame(this, QStringLiteral("Frame3"), QStringLiteral("Aktionen:"),
                                 QRect(216, 272, 209, 65));
    m_open = pictureButton(frame, QStringLiteral("Open"), QRect(8, 16, 41, 41),
                           QStringLiteral(":/images/open.svg"), 32, QStringLiteral("Ordner öffnen"));
    m_cut = pictureButton(frame, QStringLiteral("Cut"), QRect(56, 16, 41, 41),
                          QStringLiteral(":/images/cut.svg"), 32, QStringLiteral("Dateinamen ändern"));
    m_about = pictureButton(frame, QStringLiteral("About"), QRect(112, 16, 41, 41),
                            QStringLiteral(":/images/about.svg"), 32, QStringLiteral("Über"));
    m_close = pictureButton(frame, QStringLiteral("Close"), QRect(160, 16, 41, 41),
                            QStringLiteral(":/images/close.svg"), 32, QStringLiteral("Programm beenden"));
}

void Main::setTabOrder()
{
    // The keyboard order of the controls, first to last.
    const QWidget *const order[] = {
        m_fileList, m_extension, m_allFiles, m_noFiles, m_about, m_close, m_cut, m_open,
        m_overwrite, m_subdirectory, m_special, m_selectSpecial, m_cutAfterLength, m_rename,
        m_newFilename, m_maxFileLength,
    };
    for (size_t i = 1; i < std::size(order); ++i)
        QWidget::setTabOrder(const_cast<QWidget *>(order[i - 1]), const_cast<QWidget *>(order[i]));
    m_progress->setFocusPolicy(Qt::NoFocus);
}
