#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace toolkit {

// The message boxes the program shows: icon and buttons.
enum MessageStyle {
    StyleCritical,               // stop icon, OK
    StyleCriticalYesNo,          // stop icon, Yes and No, Yes the default
    StyleQuestionYesNo,          // question icon, Yes and No, Yes the default
    StyleExclamation,            // warning icon, OK
    StyleInformation,            // information icon, OK
    StyleQuestionYesNoDefaultNo, // question icon, Yes and No, No the default
};

// The button that closed a message box.
enum MessageResult {
    ResultOk = 1,
    ResultYes = 6,
    ResultNo = 7,
};

struct MessageRecord {
    QString text;
    MessageStyle style = StyleCritical;
    QString title;
};

// Answers a message box instead of the user. Tests install one so that no modal box ever
// blocks them; it sees every box (text, style, title) and returns the button to press.
using MessageAnswerer = std::function<int(const MessageRecord &)>;

// Installs an answerer; an empty one restores the real message boxes.
void setMessageAnswerer(MessageAnswerer answerer);

// Shows a modal message box and returns the button pressed (a MessageResult).
int messageBox(const QString &text, MessageStyle style, const QString &title, QWidget *parent = nullptr);

} // namespace toolkit
