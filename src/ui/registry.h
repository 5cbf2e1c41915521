// Names for windows and controls, so script mode (and the end-to-end
// tests) can drive the real windows. A window registers itself and each of
// its controls once, when it is built; entries disappear with their objects.
#pragma once

#include <QMap>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>

namespace qelvar::ui {

// The background colour of an indicator box as a platform colour number
// 0x00BBGGRR, kept as an int property of the widget under this name.
inline constexpr const char* kColourProperty = "platformColour";

class Registry {
public:
    static Registry& instance();

    // Window names: "panel", "page", "graph", "help", "pagehelp".
    void addWindow(const QString& window, QWidget* widget);
    // Control names as in the automation contract, array elements as
    // "Freq(3)". Buttons, check boxes, line edits, plain text edits, labels,
    // QActions (menu items) and indicator boxes are understood.
    void addControl(const QString& window, const QString& name, QObject* control);

    QWidget* window(const QString& window) const;
    QObject* control(const QString& window, const QString& name) const;
    QStringList controlNames(const QString& window) const;

private:
    QMap<QString, QPointer<QWidget>> windows_;
    QMap<QString, QMap<QString, QPointer<QObject>>> controls_;
};

// Sets an indicator box's background to a platform colour 0x00BBGGRR and
// records it for script mode.
void setPlatformColour(QWidget* box, unsigned bbggrr);
QColor fromPlatformColour(unsigned bbggrr);

// File dialogs go through these, so a script can answer them.
QString getOpenFileName(QWidget* parent, const QString& caption, const QString& dir,
                        const QString& filter);
QString getSaveFileName(QWidget* parent, const QString& caption, const QString& dir,
                        const QString& filter);
// Script mode queues answers: a path, or an empty string for cancel.
void queueDialogAnswer(const QString& answer);

// Qt text boxes turn line breaks into LF (or U+2029 in rich text); files
// and other boxes want CR LF.
QString toCrLf(const QString& text);
QString fromCrLf(const QString& text);

} // namespace qelvar::ui
