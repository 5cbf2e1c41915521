// Indicator boxes keep their background as a platform colour number
// 0x00BBGGRR, as the stored files and script mode's `colour` command give
// it.
#pragma once

#include <QColor>

class QWidget;

namespace qelvar::ui {

// The widget property holding the colour number, for script mode.
inline constexpr const char* kColourProperty = "platformColour";

// Sets an indicator box's background to a platform colour 0x00BBGGRR and
// records it for script mode.
void setPlatformColour(QWidget* box, unsigned bbggrr);
QColor fromPlatformColour(unsigned bbggrr);

} // namespace qelvar::ui
