// Qt text boxes turn line breaks into LF (or U+2029 in rich text); the
// program's files and the boxes it fills from one another want CR LF.
#pragma once

#include <QString>

namespace qelvar::ui {

QString toCrLf(const QString& text);
QString fromCrLf(const QString& text);

} // namespace qelvar::ui
