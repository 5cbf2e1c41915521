#include "ui/line_ends.h"

namespace qelvar::ui {

QString toCrLf(const QString& text) {
    QString t = text;
    t.replace(QChar(0x2029), QChar('\n'));
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    t.replace(QChar('\r'), QChar('\n'));
    t.replace(QChar('\n'), QStringLiteral("\r\n"));
    return t;
}

QString fromCrLf(const QString& text) {
    QString t = text;
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return t;
}

} // namespace qelvar::ui
