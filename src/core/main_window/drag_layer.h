#pragma once
// TTransForm's drag rule for a frameless window: a press with the left button held, then moves
// that carry the window along so that the pressed point stays under the cursor. Coordinates are
// the layer's own, which move with the window; the window layer applies the displacements.

#include <optional>

namespace dravik::core {

// The buttons held at a press, as a bit set.
inline constexpr unsigned kLeftButton = 1U << 0;
inline constexpr unsigned kRightButton = 1U << 1;
inline constexpr unsigned kMiddleButton = 1U << 2;

struct Displacement {
  int dx;
  int dy;
  bool operator==(const Displacement&) const = default;
};

class TTransForm {
 public:
  // Any press remembers its point; only one with the left button among buttonsHeld drags.
  void Press(unsigned buttonsHeld, int x, int y);
  void Release() { dragging_ = false; }
  // How far the window must move for the cursor at x, y; none while not dragging, while not
  // Moveable, and for a move of zero pixels, which must neither repaint nor report a move.
  std::optional<Displacement> Move(int x, int y) const;
  bool Dragging() const { return dragging_; }

  bool Moveable = true;

 private:
  bool dragging_ = false;
  int pressX_ = 0;
  int pressY_ = 0;
};

}  // namespace dravik::core
