#include "messagebox.h"

#include <QMessageBox>

namespace toolkit {

namespace {
MessageAnswerer &answerer()
{
    static MessageAnswerer instance;
    return instance;
}
} // namespace

void setMessageAnswerer(MessageAnswerer answerer_)
{
    answerer() = std::move(answerer_);
}

int messageBox(const QString &text, MessageStyle style, const QString &title, QWidget *parent)
{
    if (answerer())
        return answerer()(MessageRecord{text, style, title});

    // A box centres itself over its parent; a parent not yet shown has no place on the screen
    // (a warning while the main window loads), so such a box centres on the screen instead.
    QMessageBox box(parent && parent->window()->isVisible() ? parent : nullptr);
    box.setWindowTitle(title);
    // Texts carry Windows line ends; a label shows a lone line feed per line break.
    box.setText(QString(text).replace(QLatin1String("\r\n"), QLatin1String("\n")));
    box.setTextFormat(Qt::PlainText);
    switch (style) {
    case StyleQuestionYesNo:
    case StyleQuestionYesNoDefaultNo:
        box.setIcon(QMessageBox::Question);
        break;
    case StyleExclamation:
        box.setIcon(QMessageBox::Warning);
        break;
    case StyleInformation:
        box.setIcon(QMessageBox::Information);
        break;
    case StyleCritical:
    case StyleCriticalYesNo:
        box.setIcon(QMessageBox::Critical);
        break;
    }
    const bool yesNo = style == StyleCriticalYesNo || style == StyleQuestionYesNo || style == StyleQuestionYesNoDefaultNo;
    if (yesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(style == StyleQuestionYesNoDefaultNo ? QMessageBox::No : QMessageBox::Yes);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    switch (box.exec()) {
    case QMessageBox::Yes:
        return ResultYes;
    case QMessageBox::No:
        return ResultNo;
    default:
        // Closing a Yes/No box by its close command counts as No, never as Yes.
        return yesNo ? ResultNo : ResultOk;
    }
}

} // namespace toolkit
