#include "specialselect.h"

#include <utility>

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QPushButton>
#include <QScreen>

#include "toolkit/controls.h"
#include "toolkit/frame.h"
#include "toolkit/messagebox.h"

namespace {

constexpr int boxRows = 28;

const QString fewCharactersText = QStringLiteral(
    "Sie wollen weniger als 26 Zeichen zulassen, dies kann zu Fehlern in der Bearbeitung führen. "
    "Es ist empfohlen mindestens alle Buchstaben zuzulassen. Wollen Sie trotzdem fortsetzen?");

QPushButton *makeButton(QWidget *parent, const QString &name, const QString &caption,
                        const QRect &geometry)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setGeometry(geometry);
    return button;
}

QString rangeToolTip(const QString &caption)
{
    return QLatin1Char('"') + caption + QLatin1Char('"') + QStringLiteral(" ab-/auswählen");
}

} // namespace

SpecialSelect::SpecialSelect(ReadList readList, WriteList writeList)
    : QDialog(nullptr, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                           | Qt::WindowCloseButtonHint)
    , m_readList(std::move(readList))
    , m_writeList(std::move(writeList))
{
    setObjectName(QStringLiteral("SpecialSelect"));
    // A blank title: Qt replaces an empty one with the application's name.
    setWindowTitle(QStringLiteral(" "));
    setFont(toolkit::standardFont());
    setFixedSize(425, 529);
    setModal(false);
    // The main window alone decides when the program ends; an open dialog never keeps it alive.
    setAttribute(Qt::WA_QuitOnClose, false);
    createControls();
    // The grid boxes are only 33 pixels wide: "‰", "Œ" and "—" need the narrow caption gap.
    toolkit::useCompactLabels(this);
}

QCheckBox *SpecialSelect::box(int k) const
{
    return k >= 0 && k < charactertable::codeCount ? m_boxes[static_cast<std::size_t>(k)] : nullptr;
}

void SpecialSelect::createControls()
{
    auto *frame = new toolkit::Frame(QStringLiteral("zugelassene Zeichen:"), this);
    frame->setObjectName(QStringLiteral("Frame1"));
    frame->setGeometry(8, 8, 409, 489);

    for (int k = 0; k < charactertable::codeCount; ++k) {
        auto *check = new QCheckBox(frame);
        check->setObjectName(QStringLiteral("CheckSpecial(%1)").arg(k));
        check->setGeometry(8 + 40 * (k / boxRows), 24 + 16 * (k % boxRows), 33, 17);
        // toggled fires for the user's click and for every state set by code alike, so the
        // working copy follows each change of a box, whoever made it.
        connect(check, &QCheckBox::toggled, this, [this, k] { updateBox(k); });
        m_boxes[static_cast<std::size_t>(k)] = check;
    }

    QPushButton *all = toolkit::makePictureButton(frame, QRect(328, 24, 25, 25),
                                                  QStringLiteral(":/images/all.svg"), 19,
                                                  QStringLiteral("Alle auswählen"));
    all->setObjectName(QStringLiteral("AllSigns"));
    connect(all, &QPushButton::clicked, this, [this] { setAllBoxes(true); });

    QPushButton *none = toolkit::makePictureButton(frame, QRect(368, 24, 25, 25),
                                                   QStringLiteral(":/images/none.svg"), 19,
                                                   QStringLiteral("Keins auswählen"));
    none->setObjectName(QStringLiteral("NoSigns"));
    connect(none, &QPushButton::clicked, this, [this] { setAllBoxes(false); });

    struct Range {
        const char16_t *name;
        const char16_t *caption;
        int top;
        QChar first;
        QChar last;
    };
    const Range ranges[] = {
        {u"großAbisZ", u"A - Z", 56, u'A', u'Z'},
        {u"kleinabisz", u"a - z", 88, u'a', u'z'},
        {u"NullBisNeun", u"0 - 9", 120, u'0', u'9'},
    };
    for (const Range &range : ranges) {
        const QString caption = QString::fromUtf16(range.caption);
        QPushButton *button = makeButton(frame, QString::fromUtf16(range.name), caption,
                                         QRect(328, range.top, 65, 25));
        button->setToolTip(rangeToolTip(caption));
        connect(button, &QPushButton::clicked, this,
                [this, range] { toggleRange(range.first, range.last); });
    }

    QPushButton *ok = makeButton(frame, QStringLiteral("OK"), QStringLiteral("OK"),
                                 QRect(328, 416, 65, 25));
    connect(ok, &QPushButton::clicked, this, &SpecialSelect::confirm);
    QPushButton *cancel = makeButton(frame, QStringLiteral("Abort"), QStringLiteral("Abbrechen"),
                                     QRect(328, 448, 65, 25));
    connect(cancel, &QPushButton::clicked, this, &SpecialSelect::abort);

    // Below the frame: what becomes of the characters that are not allowed.
    m_transliterate = new QCheckBox(QStringLiteral("Umlaute und Akzente umschreiben (ä → ae)"), this);
    m_transliterate->setObjectName(QStringLiteral("Transliterate"));
    m_transliterate->setGeometry(16, 503, 393, 19);
    m_transliterate->setToolTip(QStringLiteral("Statt sie zu entfernen: ä → ae, ß → ss, é → e, Кино → Kino"));

    // Neither button is the dialog's default: Return must not close it by surprise. Return on
    // a focused button still clicks that button, as Space does.
    for (QPushButton *button : frame->findChildren<QPushButton *>()) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }
    toolkit::clickFocusedButtonOnReturn(this);
}

void SpecialSelect::showDialog()
{
    if (isVisible()) {
        raise();
        activateWindow();
        return;
    }
    load();
    toolkit::centreOnScreen(this);
    show();
    raise();
    activateWindow();
}

void SpecialSelect::load()
{
    // A close by the window's own close box must always discard, whatever an earlier
    // opening ended with.
    m_confirmed = false;

    // The boxes are reused from the last opening; clearing them must not touch the new copy.
    for (QCheckBox *check : m_boxes) {
        const QSignalBlocker blocker(check);
        check->setChecked(false);
    }
    const Choice choice = m_readList ? m_readList() : Choice();
    m_workingCopy = choice.list;
    m_transliterate->setChecked(choice.transliterate);

    for (int k = 0; k < charactertable::codeCount; ++k) {
        QCheckBox *check = m_boxes[static_cast<std::size_t>(k)];
        const QChar character = charactertable::boxCharacter(k);
        check->setText(character == u'&' ? QStringLiteral("&&") : QString(character));
        check->setToolTip(character == u' ' ? QStringLiteral("Leerzeichen")
                                            : QStringLiteral("Zeichen ") + character);
        // Ticking runs the box update, which finds the character present and changes nothing.
        if (m_workingCopy.contains(character))
            check->setChecked(true);
    }
}

void SpecialSelect::updateBox(int k)
{
    const QChar character = charactertable::boxCharacter(k);
    if (toolkit::isChecked(m_boxes[static_cast<std::size_t>(k)])) {
        if (!m_workingCopy.contains(character))
            m_workingCopy.append(character);
    } else {
        m_workingCopy.remove(character);
    }
}

void SpecialSelect::toggleRange(QChar first, QChar last)
{
    const auto inRange = [first, last](int k) {
        const QChar character = charactertable::boxCharacter(k);
        return character >= first && character <= last;
    };
    bool anyTicked = false;
    for (int k = 0; k < charactertable::codeCount; ++k) {
        if (inRange(k) && toolkit::isChecked(m_boxes[static_cast<std::size_t>(k)]))
            anyTicked = true;
    }
    for (int k = 0; k < charactertable::codeCount; ++k) {
        if (inRange(k))
            m_boxes[static_cast<std::size_t>(k)]->setChecked(!anyTicked);
    }
}

void SpecialSelect::setAllBoxes(bool ticked)
{
    for (QCheckBox *check : m_boxes)
        check->setChecked(ticked);
}

void SpecialSelect::confirm()
{
    // Repeats and characters without a box count too: it is the length of what gets stored.
    if (m_workingCopy.size() < minimumCount
        && toolkit::messageBox(fewCharactersText, toolkit::StyleCriticalYesNo,
                           QStringLiteral("Achtung"), this)
               != toolkit::ResultYes)
        return;
    m_confirmed = true;
    accept();
}

void SpecialSelect::abort()
{
    m_confirmed = false;
    reject();
}

void SpecialSelect::done(int result)
{
    // Only a close right after a confirming OK writes back; the flag is spent with it.
    const bool confirmed = std::exchange(m_confirmed, false);
    if (confirmed && m_writeList)
        m_writeList(Choice{m_workingCopy, m_transliterate->isChecked()});
    QDialog::done(result);
}
