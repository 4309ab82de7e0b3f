#pragma once

#include <QFont>
#include <QIcon>
#include <QRect>
#include <QString>

class QCheckBox;
class QPushButton;
class QWidget;

namespace toolkit {

// Tahoma 8.25 pt, regular: the font of every control of both windows. Where Tahoma is
// missing, the system's sans-serif font at a size no wider than Tahoma for the captions.
QFont standardFont();
// Makes standardFont() behave as if Tahoma were missing (for tests).
void hideTahomaForTest(bool hidden);

// Makes Tahoma available where the system has none installed, from a metric-compatible copy
// (Debian's fonts-wine ships one outside the font path). Call once after the application exists.
void ensureTahoma();
// Before the application object: on Windows, Qt's FreeType font engine instead of GDI, whose
// hinting widens Tahoma past the captions' room; a platform chosen by the user is kept.
void chooseFontEngine();

// An icon drawn from a vector image, rendered at 1x and 2x so it stays crisp on scaled screens.
QIcon svgIcon(const QString &resourcePath, int size);

// A push button that shows a picture and no caption, with a tooltip.
QPushButton *makePictureButton(QWidget *parent, const QRect &geometry, const QString &imagePath,
                               int imageSize, const QString &toolTip);

// A check box's value: 0 unchecked, 1 checked, 2 greyed. Only 1 counts as on.
int checkValue(const QCheckBox *box);
void setCheckValue(QCheckBox *box, int value);
inline bool isChecked(const QCheckBox *box) { return checkValue(box) == 1; }

// Moves a top-level window to the middle of the screen the user works on: the active window's,
// or the primary screen when no window is active yet (the main window at start).
void centreOnScreen(QWidget *window);

// Return and Enter click the push button that has the focus in the window, as Space does (Qt
// leaves them to a dialog's default button, and this window is no dialog).
void clickFocusedButtonOnReturn(QWidget *window);

} // namespace toolkit

namespace toolkit {

// Gives every check box and option button below the window the narrow gap between mark and
// caption of the classic Windows controls, and every drop-down list a narrow arrow. The fixed
// layouts leave only that much room; wider gaps of other styles clip the ends of captions.
void useCompactLabels(QWidget *window);

} // namespace toolkit
