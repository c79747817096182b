#pragma once

#include <QWidget>

namespace ovik {

// A group frame without a caption. Its etched border starts a few pixels
// below its top edge, where a caption's middle would be, and it paints its
// own background, so a frame placed over the bottom of the one above it
// hides that frame's lower border and the two read as one outline.
class GroupFrame : public QWidget {
  Q_OBJECT

 public:
  explicit GroupFrame(QWidget* parent = nullptr);

  static constexpr int kBorderTop = 6;

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace ovik
