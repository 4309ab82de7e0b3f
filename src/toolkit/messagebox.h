#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace toolkit {

// Message-box styles as the program uses them: icon and buttons in one number.
enum MessageStyle {
    StyleCritical = 16,       // stop icon, OK
    StyleCriticalYesNo = 20,  // stop icon, Yes and No, Yes the default
    StyleQuestionYesNo = 36,  // question icon, Yes and No, Yes the default
    StyleExclamation = 48,    // warning icon, OK
    StyleInformation = 64,    // information icon, OK
    StyleQuestionYesNoDefaultNo = 292, // question icon, Yes and No, No the default
};

// The button that closed a message box.
enum MessageResult {
    ResultOk = 1,
    ResultYes = 6,
    ResultNo = 7,
};

struct MessageRecord {
    QString text;
    int style = 0;
    QString title;
};

// Answers a message box instead of the user. Tests install one so that no modal box ever
// blocks them; it sees every box (text, style, title) and returns the button to press.
using MessageAnswerer = std::function<int(const MessageRecord &)>;

// Installs an answerer; an empty one restores the real message boxes.
void setMessageAnswerer(MessageAnswerer answerer);

// Shows a modal message box and returns the button pressed (a MessageResult).
int MsgBox(const QString &text, int style, const QString &title, QWidget *parent = nullptr);

} // namespace toolkit
