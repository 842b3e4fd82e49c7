#include "core/main_window/drag_layer.h"

namespace dravik::core {

void TTransForm::Press(unsigned buttonsHeld, int x, int y) {
  pressX_ = x;
  pressY_ = y;
  if ((buttonsHeld & kLeftButton) != 0) dragging_ = true;
}

std::optional<Displacement> TTransForm::Move(int x, int y) const {
  if (!dragging_ || !Moveable) return std::nullopt;
  const Displacement step{x - pressX_, y - pressY_};
  if (step == Displacement{0, 0}) return std::nullopt;
  return step;
}

}  // namespace dravik::core
