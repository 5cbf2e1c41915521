// The graph form: the frequency-response plot of one measured sweep with
// its menus, sweep files and printing. It reads its preference file and
// the graph data file while it is built.
#pragma once

#include "graph/graph_model.h"
#include "graph/graph_print.h"

#include <QMainWindow>

#include <array>

class QAction;
class QLabel;
class QLineEdit;
class QMenu;

namespace qelvar::graph {

class GraphCanvas;

class GraphWindow : public QMainWindow {
    Q_OBJECT
  public:
    explicit GraphWindow(QWidget* parent = nullptr);

    const GraphModel& model() const { return model_; }
    // The retained drawing (grid and curves, no controls).
    QImage image() const;
    // The drawing area with its controls, as "Printscreen" prints it.
    QImage clientImage() const;
    QString statusText() const;
    QAction* action(const QString& name) const;

    // Menu commands.
    void mnuFileOpen();
    void mnuSave();
    void exitForm();
    void plottoprint();
    void printscreen();
    void clear();
    void chooseOption(const OptionItem& item);

  private:
    void buildMenus();
    void buildControls();
    QAction* addItem(QMenu* menu, const char* name, const QString& caption);
    QLabel* addLabel(const QString& name, double points);
    void sync();
    void placeLabels();
    void setStatus(const QString& text);
    // The dialog's answer, or an empty string after cancel or a failure.
    QString askFile(bool save);
    void showDialogError(int number);
    ScreenScale screenScale() const;

    GraphModel model_;
    GraphCanvas* canvas_ = nullptr;
    QLineEdit* title_ = nullptr;
    std::array<QLabel*, 11> label1_{};
    QLabel *label2_ = nullptr, *label3_ = nullptr, *label4_ = nullptr, *label6_ = nullptr,
           *label7_ = nullptr, *label8_ = nullptr;
    QLabel* status_ = nullptr;
    std::vector<std::pair<const OptionItem*, QAction*>> options_;
    std::vector<QAction*> actions_;
    bool exitWarned_ = false; // Exit failed to save once; the next Exit closes
};

} // namespace qelvar::graph
