// The title strip of the borderless settings windows: a caption on a coloured band that
// moves the window when dragged, and a close picture at its right end.
#pragma once

#include <QWidget>

class QToolButton;

namespace cookhub {

class DialogStrip : public QWidget {
  public:
    DialogStrip(const QString& caption, QWidget* parent);
    QToolButton* closePicture() const { return close_; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

  private:
    QToolButton* close_;
};

}  // namespace cookhub
