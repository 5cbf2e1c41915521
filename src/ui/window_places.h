// Where the windows were: each top-level window's size and place is kept
// when it is hidden or closed and given back when it is next shown, also
// after a restart. A window never seen before opens at its own first size,
// where the window manager puts it. A place kept on a screen that has since
// changed is moved back onto the screen there is now.
#pragma once

#include <QObject>
#include <QString>

class QWidget;

namespace qelvar::ui {

class WindowPlaces : public QObject {
    Q_OBJECT
  public:
    // Keeps the places in `file` (an INI file). Watches every top-level
    // window of the application from now on.
    explicit WindowPlaces(QString file, QObject* parent = nullptr);
    ~WindowPlaces() override;

    // Stores `window`'s place now.
    void keep(QWidget* window);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void giveBack(QWidget* window);
    QString file_;
};

} // namespace qelvar::ui
