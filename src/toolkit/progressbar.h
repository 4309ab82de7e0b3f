#pragma once

#include <QProgressBar>

namespace toolkit {

// A progress bar with the range 0.0001 to 100 and a single-precision value. QProgressBar
// counts in integers, so the value is kept as given and shown in ten-thousandths.
class ProgressBar : public QProgressBar
{
    Q_OBJECT
public:
    static constexpr float Minimum = 0.0001f;
    static constexpr float Maximum = 100.0f;

    explicit ProgressBar(QWidget *parent = nullptr);

    void setProgress(float value);
    float progress() const { return m_value; }

private:
    float m_value = Minimum;
};

} // namespace toolkit
