#pragma once

#include "toolkit/messagebox.h"

#include <QApplication>
#include <QList>
#include <QMessageBox>
#include <QRect>
#include <QString>
#include <QTimer>

#include <functional>

// Records every message box the program shows and answers it without blocking.
class MessageRecorder
{
public:
    explicit MessageRecorder(int answer = toolkit::ResultOk) : m_answer(answer) { install(); }
    ~MessageRecorder() { toolkit::setMessageAnswerer({}); }
    MessageRecorder(const MessageRecorder &) = delete;
    MessageRecorder &operator=(const MessageRecorder &) = delete;
    void install()
    {
        toolkit::setMessageAnswerer([this](const toolkit::MessageRecord &record) {
            m_records.append(record);
            return m_answer;
        });
    }
    void setAnswer(int answer) { m_answer = answer; }
    const QList<toolkit::MessageRecord> &records() const { return m_records; }
    int count() const { return int(m_records.size()); }
    void clear() { m_records.clear(); }

    // Lets the real boxes that trigger shows appear, closes each and returns where it was.
    QList<QRect> realBoxes(const std::function<void()> &trigger)
    {
        toolkit::setMessageAnswerer({});
        QList<QRect> shown;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&shown] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                shown << box->frameGeometry();
                box->done(QMessageBox::Ok);
            }
        });
        poll.start(10);
        trigger();
        install();
        return shown;
    }

private:
    int m_answer;
    QList<toolkit::MessageRecord> m_records;
};
