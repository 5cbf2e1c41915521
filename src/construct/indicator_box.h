// An indicator box: a small rounded square lit in a platform colour. Script
// mode reads the colour through the registry's colour property.
#pragma once

#include <QWidget>

namespace qelvar::construct {

class IndicatorBox : public QWidget {
    Q_OBJECT
  public:
    explicit IndicatorBox(QWidget* parent = nullptr);

    void setColour(unsigned bbggrr);
    unsigned colour() const { return colour_; }
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    unsigned colour_ = 0x808000;
};

} // namespace qelvar::construct
