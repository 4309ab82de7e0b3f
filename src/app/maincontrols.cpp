#include "app/maincontrols.h"

#include "app/messages.h"
#include "selection/filtercatalogue.h"
#include "settings/lengthtext.h"
#include "settings/optionsstore.h"
#include "toolkit/checklist.h"
#include "toolkit/controls.h"
#include "toolkit/frame.h"
#include "toolkit/messagebox.h"
#include "toolkit/progressbar.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <algorithm>

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

MainControls::MainControls(QWidget *window)
    : QObject(window)
    , m_window(window)
{
    createFileFrame();
    createOptionsFrame();
    createActionsFrame();
    toolkit::useCompactLabels(window);
    setTabOrder();
    nameForScreenReaders();
    toolkit::clickFocusedButtonOnReturn(window);
    for (const QString &entry : extensionCatalogue())
        extension->addItem(entry);
    progress->setProgress(toolkit::ProgressBar::Maximum);
    // A folder dropped on a field lists it too, instead of putting its path into the name pattern.
    maxFileLength->setAcceptDrops(false);
    newFilename->setAcceptDrops(false);
    // Changes made by the program raise these as the user's do, which loading relies on.
    connect(maxFileLength, &QLineEdit::textChanged, this, &MainControls::maxFileLengthChange);
    connect(overwrite, &QCheckBox::stateChanged, this, [this] {
        // Renaming the originals makes the subfolder option meaningless; grey it, keep its tick.
        subdirectory->setEnabled(toolkit::checkValue(overwrite) != 1);
    });

    connect(cutAfterLength, &QRadioButton::toggled, this, &MainControls::runInputChanged);
    connect(rename, &QRadioButton::toggled, this, &MainControls::runInputChanged);
    connect(maxFileLength, &QLineEdit::textChanged, this, &MainControls::runInputChanged);
    connect(newFilename, &QLineEdit::textChanged, this, &MainControls::runInputChanged);
    for (QCheckBox *box : {overwrite, subdirectory, special}) {
        connect(box, &QCheckBox::stateChanged, this, &MainControls::runInputChanged);
        // A greyed state comes only from the store; the user's first click ticks the box, and
        // from then on clicks tick and clear it, never grey it again.
        connect(box, &QCheckBox::clicked, box, [box] { box->setTristate(false); });
    }
    QAbstractItemModel *model = fileList->model();
    connect(model, &QAbstractItemModel::modelReset, this, &MainControls::runInputChanged);
    connect(model, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex &, const QModelIndex &, const QList<int> &roles) {
                // The marks themselves are a change of the list too; only ticks count.
                if (roles.contains(Qt::CheckStateRole))
                    emit runInputChanged();
            });
}

void MainControls::createFileFrame()
{
    QGroupBox *frame = makeFrame(m_window, QStringLiteral("Frame1"), QStringLiteral("Dateiliste:"),
                                 QRect(8, 8, 201, 329));
    fileList = place(new toolkit::CheckList(frame), QStringLiteral("FileList"), QRect(8, 16, 185, 274));
    allFiles = pictureButton(frame, QStringLiteral("AllFiles"), QRect(8, 296, 25, 25),
                             QStringLiteral(":/images/all.svg"), 19, QStringLiteral("Alle auswählen"));
    noFiles = pictureButton(frame, QStringLiteral("NoFiles"), QRect(40, 296, 25, 25),
                            QStringLiteral(":/images/none.svg"), 19, QStringLiteral("Keins auswählen"));
    extension = place(new QComboBox(frame), QStringLiteral("Extension"), QRect(72, 296, 121, 21));
    extension->setEditable(false);
    // The longest entry is the separator line; let the open list show it whole.
    extension->view()->setMinimumWidth(extension->fontMetrics().horizontalAdvance(QString(32, u'-')) + 24);
}

void MainControls::createOptionsFrame()
{
    QGroupBox *frame = makeFrame(m_window, QStringLiteral("Frame2"), QStringLiteral("Optionen:"),
                                 QRect(216, 8, 209, 257));
    cutAfterLength = place(new QRadioButton(QStringLiteral("Nach            Zeichen abschneiden"), frame),
                           QStringLiteral("CutAfterLength"), QRect(8, 24, 185, 25));
    cutAfterLength->setChecked(true);
    // The length field sits over the gap of spaces in the caption above; made after the
    // option button, so it lies on top of it.
    maxFileLength = place(new QLineEdit(StoredOptions().maxFileLength, frame), QStringLiteral("MaxFileLength"),
                          QRect(56, 24, 25, 19));
    maxFileLength->setTextMargins(0, 0, 0, 0);
    // One pixel lower than the option above, so it ends where the pattern field begins.
    rename = place(new QRadioButton(QStringLiteral("Umbennen in:"), frame), QStringLiteral("Rename"),
                   QRect(8, 56, 185, 24));
    newFilename = place(new QLineEdit(frame), QStringLiteral("NewFilename"), QRect(24, 80, 177, 19));
    newFilename->setToolTip(QStringLiteral("%# ist Platzhalter für eine Nummer"));

    auto *line = place(new QFrame(frame), QStringLiteral("Line1"), QRect(8, 119, 193, 2));
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);

    overwrite = place(new QCheckBox(QStringLiteral("orginal Dateien ersetzen"), frame),
                      QStringLiteral("Overwrite"), QRect(8, 136, 177, 25));
    subdirectory = place(new QCheckBox(QStringLiteral("Im Unterordner MOBIX speichern"), frame),
                         QStringLiteral("Subdirectory"), QRect(8, 168, 185, 25));
    subdirectory->setChecked(true);
    // The check box ends where the button on its row begins, so the two never overlap.
    special = place(new QCheckBox(QStringLiteral("Sonderzeichen entfernen"), frame),
                    QStringLiteral("Special"), QRect(8, 200, 144, 25));
    special->setChecked(true);
    selectSpecial = place(new QPushButton(QStringLiteral("suchen"), frame),
                          QStringLiteral("SelectSpecial"), QRect(152, 200, 49, 21));
    selectSpecial->setToolTip(QStringLiteral("Sonderzeichen auswählen"));
    progress = place(new toolkit::ProgressBar(frame), QStringLiteral("Fortschritt"), QRect(8, 240, 193, 9));
}

void MainControls::createActionsFrame()
{
    QGroupBox *frame = makeFrame(m_window, QStringLiteral("Frame3"), QStringLiteral("Aktionen:"),
                                 QRect(216, 272, 209, 65));
    open = pictureButton(frame, QStringLiteral("Open"), QRect(8, 16, 41, 41),
                         QStringLiteral(":/images/open.svg"), 32, QStringLiteral("Ordner öffnen"));
    cut = pictureButton(frame, QStringLiteral("Cut"), QRect(56, 16, 41, 41),
                        QStringLiteral(":/images/cut.svg"), 32, QStringLiteral("Dateinamen ändern"));
    about = pictureButton(frame, QStringLiteral("About"), QRect(112, 16, 41, 41),
                          QStringLiteral(":/images/about.svg"), 32, QStringLiteral("Über"));
    close = pictureButton(frame, QStringLiteral("Close"), QRect(160, 16, 41, 41),
                          QStringLiteral(":/images/close.svg"), 32, QStringLiteral("Programm beenden"));
}

void MainControls::setTabOrder()
{
    // The keyboard order of the controls, first to last.
    QWidget *const order[] = {
        fileList, extension, allFiles, noFiles, about, close, cut, open,
        overwrite, subdirectory, special, selectSpecial, cutAfterLength, rename,
        newFilename, maxFileLength,
    };
    for (size_t i = 1; i < std::size(order); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
    progress->setFocusPolicy(Qt::NoFocus);
}

void MainControls::nameForScreenReaders()
{
    // Picture buttons have no caption for a screen reader to read out.
    allFiles->setAccessibleName(allFiles->toolTip());
    noFiles->setAccessibleName(noFiles->toolTip());
    open->setAccessibleName(QStringLiteral("Ordner öffnen"));
    cut->setAccessibleName(QStringLiteral("Dateinamen ändern"));
    about->setAccessibleName(QStringLiteral("Über Kappwerk"));
    close->setAccessibleName(QStringLiteral("Programm beenden"));
    fileList->setAccessibleName(QStringLiteral("Dateiliste"));
    extension->setAccessibleName(QStringLiteral("Dateityp-Filter"));
    // On Linux a screen reader takes a drop-down list's name from the label it belongs to (its
    // own name is the entry shown); this one is never seen, so the layout stays as it is.
    auto *filterLabel = place(new QLabel(extension->accessibleName(), extension->parentWidget()),
                              QStringLiteral("ExtensionLabel"), QRect());
    filterLabel->setBuddy(extension);
    filterLabel->hide();
    // The length field sits in the gap of the option's caption; read together they make sense.
    cutAfterLength->setAccessibleName(QStringLiteral("Nach … Zeichen abschneiden"));
    maxFileLength->setAccessibleName(QStringLiteral("Anzahl Zeichen, nach der abgeschnitten wird"));
    newFilename->setAccessibleName(QStringLiteral("Muster für den neuen Namen"));
    progress->setAccessibleName(QStringLiteral("Fortschritt"));
}

StoredOptions MainControls::options(const QString &allowedCharacters, int transliterate) const
{
    StoredOptions options;
    options.extensionIndex = extension->currentIndex();
    options.specialListe = allowedCharacters;
    options.transliterate = transliterate;
    options.cutAfterLength = cutAfterLength->isChecked();
    options.rename = rename->isChecked();
    options.maxFileLength = maxFileLength->text();
    options.newFilename = newFilename->text();
    options.overwrite = toolkit::checkValue(overwrite);
    options.subdirectory = toolkit::checkValue(subdirectory);
    // While locked the option is greyed for the run; its own state is what is stored.
    options.subdirectoryEnabled = m_locked ? m_subdirectoryEnabled : subdirectory->isEnabled();
    options.special = toolkit::checkValue(special);
    return options;
}

void MainControls::showOptions(const StoredOptions &options)
{
    extension->setCurrentIndex(options.extensionIndex);
    cutAfterLength->setChecked(options.cutAfterLength);
    rename->setChecked(options.rename);
    maxFileLength->setText(options.maxFileLength);
    newFilename->setText(options.newFilename);
    // Setting a text leaves the cursor at its end, and a field shows where its cursor is: a
    // pattern wider than its field would show without its start, "%#" and all.
    maxFileLength->setCursorPosition(0);
    newFilename->setCursorPosition(0);
    toolkit::setCheckValue(overwrite, options.overwrite);
    toolkit::setCheckValue(subdirectory, options.subdirectory);
    subdirectory->setEnabled(options.subdirectoryEnabled);
    toolkit::setCheckValue(special, options.special);
}

void MainControls::lock(bool locked)
{
    if (locked == m_locked)
        return;
    m_locked = locked;
    QWidget *const controls[] = {fileList, allFiles, noFiles, extension, cutAfterLength, maxFileLength, rename,
                                 newFilename, overwrite, special, selectSpecial, open, cut, about};
    // A control that loses the focus by being disabled passes it on down the tab order, which
    // leads to "Programm beenden": the Space that started a run would then end the program. The
    // window holds the focus meanwhile, and the control gets it back afterwards.
    QWidget *focused = m_window->focusWidget();
    if (locked && std::find(std::begin(controls), std::end(controls), focused) != std::end(controls)) {
        m_focusWhileLocked = focused;
        m_window->setFocus();
    }
    for (QWidget *control : controls)
        control->setEnabled(!locked);
    if (!locked && m_focusWhileLocked && (!focused || focused == m_window))
        m_focusWhileLocked->setFocus();
    if (!locked)
        m_focusWhileLocked = nullptr;
    if (locked) {
        m_subdirectoryEnabled = subdirectory->isEnabled();
        subdirectory->setEnabled(false);
    } else {
        subdirectory->setEnabled(m_subdirectoryEnabled);
    }
}

void MainControls::maxFileLengthChange(const QString &text)
{
    const LengthValue length = readLengthText(text);
    switch (length.kind) {
    case LengthKind::Empty:
        // Setting the text runs this check again, on "1", which passes.
        maxFileLength->setText(QStringLiteral("1"));
        return;
    case LengthKind::NotNumeric: {
        // Take back the character just typed: the one before the cursor. The removal is
        // itself a change and runs this check again.
        const int cursor = maxFileLength->cursorPosition();
        const int at = cursor > 0 ? cursor - 1 : 0;
        maxFileLength->setText(QString(text).remove(at, 1));
        maxFileLength->setCursorPosition(std::min<int>(at, int(maxFileLength->text().size())));
        return;
    }
    case LengthKind::OutOfRange:
        toolkit::messageBox(LengthMessage, toolkit::StyleCritical, QStringLiteral("Achtung"), m_window);
        maxFileLength->setText(StoredOptions().maxFileLength);
        return;
    case LengthKind::Valid:
        return;
    }
}
