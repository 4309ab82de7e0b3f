#pragma once

#include "toolkit/messagebox.h"

#include <QList>
#include <QString>

#include <functional>

// Records every message box the program shows and answers it without blocking.
class MessageRecorder
{
public:
    explicit MessageRecorder(int answer = toolkit::ResultOk)
    {
        m_answer = answer;
        toolkit::setMessageAnswerer([this](const toolkit::MessageRecord &record) {
            m_records.append(record);
            return m_answer;
        });
    }
    ~MessageRecorder() { toolkit::setMessageAnswerer({}); }
    MessageRecorder(const MessageRecorder &) = delete;
    MessageRecorder &operator=(const MessageRecorder &) = delete;

    void setAnswer(int answer) { m_answer = answer; }
    const QList<toolkit::MessageRecord> &records() const { return m_records; }
    int count() const { return int(m_records.size()); }
    void clear() { m_records.clear(); }

private:
    int m_answer;
    QList<toolkit::MessageRecord> m_records;
};
