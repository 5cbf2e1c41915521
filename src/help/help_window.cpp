#include "help/help_window.h"

#include "ui/line_ends.h"
#include "ui/registry.h"
#include "ui/window_fit.h"

#include <QPlainTextEdit>
#include <QShortcut>
#include <QShowEvent>
#include <QStyle>
#include <QVBoxLayout>

namespace qelvar::help {

HelpWindow::HelpWindow(const QString& windowName, const QString& caption, const std::string& text,
                       QWidget* parent)
    : QWidget(parent, Qt::Window), box_(new QPlainTextEdit(this)) {
    setObjectName(windowName);
    setWindowTitle(caption);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(box_);
    box_->setReadOnly(true);
    box_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    box_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    box_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    box_->setFont(QFont(QStringLiteral("DejaVu Sans"), 10));
    box_->document()->setDocumentMargin(8);
    box_->setPlainText(ui::fromCrLf(QString::fromStdString(text)));
    setMinimumSize(320, 200);
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &QWidget::close);
    ui::Registry::instance().addWindow(windowName, this);
    ui::Registry::instance().addControl(windowName, QStringLiteral("Text1"), box_);
}

QString HelpWindow::text() const {
    return ui::toCrLf(box_->toPlainText());
}

void HelpWindow::showEvent(QShowEvent* e) {
    if (!e->spontaneous())
        ui::fitToScreen(this);
    QWidget::showEvent(e);
}

void HelpWindow::present() {
    if (isMinimized())
        showNormal();
    show();
    raise();
    activateWindow();
}

HelpWindow* createMainHelp(QWidget* parent) {
    auto* w = new HelpWindow(QStringLiteral("help"), QStringLiteral("Qelvar HELP"), mainHelpText(),
                             parent);
    w->setObjectName(QStringLiteral("Form2"));
    // Dark blue text on a white box, whatever the desktop's colours: the
    // whole window takes the style's light colours, so the frame and the
    // scroll bar round the box match it under a dark desktop too.
    QPalette p = w->style()->standardPalette();
    p.setColor(QPalette::Text, QColor(0, 0, 64));
    p.setColor(QPalette::Base, Qt::white);
    w->setPalette(p);
    w->resize(742, 525);
    return w;
}

HelpWindow* createPageHelp(QWidget* parent) {
    auto* w = new HelpWindow(QStringLiteral("pagehelp"), QStringLiteral("Tessaly Help"),
                             pageHelpText(), parent);
    w->setObjectName(QStringLiteral("TessalyHelp"));
    w->resize(766, 554);
    return w;
}

} // namespace qelvar::help
