#include "progressbar.h"

#include <algorithm>
#include <cmath>

namespace toolkit {

namespace {
constexpr double Scale = 10000.0;
int toSteps(float value)
{
    return int(std::lround(double(value) * Scale));
}
} // namespace

ProgressBar::ProgressBar(QWidget *parent)
    : QProgressBar(parent)
{
    setRange(toSteps(Minimum), toSteps(Maximum));
    setTextVisible(false);
    setProgress(Minimum);
}

void ProgressBar::setProgress(float value)
{
    m_value = std::clamp(value, Minimum, Maximum);
    setValue(toSteps(m_value));
}

} // namespace toolkit
