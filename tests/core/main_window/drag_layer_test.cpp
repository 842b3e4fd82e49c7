// Dragging the frameless main window: which presses drag, and how far each move carries it.

#include "core/main_window/drag_layer.h"

#include <gtest/gtest.h>

namespace dravik::core {
namespace {

TEST(TTransForm, OnlyAPressWithTheLeftButtonHeldDrags) {
  TTransForm layer;
  EXPECT_EQ(layer.Move(30, 40), std::nullopt);  // no press yet
  layer.Press(kRightButton, 10, 10);
  EXPECT_EQ(layer.Move(30, 40), std::nullopt);
  layer.Press(kMiddleButton, 10, 10);
  EXPECT_EQ(layer.Move(30, 40), std::nullopt);
  layer.Press(kRightButton | kLeftButton, 10, 10);
  EXPECT_EQ(layer.Move(30, 40), (Displacement{20, 30}));
  layer.Release();
  EXPECT_EQ(layer.Move(30, 40), std::nullopt);
}

// The layer moves with the window, so every move is measured from the pressed point; the window
// follows the cursor exactly, backwards and over several steps included.
TEST(TTransForm, EachMoveCarriesTheWindowByTheCursorsDisplacement) {
  TTransForm layer;
  layer.Press(kLeftButton, 100, 20);
  EXPECT_EQ(layer.Move(103, 18), (Displacement{3, -2}));
  EXPECT_EQ(layer.Move(100 - 250, 20 + 7), (Displacement{-250, 7}));
  // A right press during a drag moves the anchor but does not end the drag.
  layer.Press(kRightButton, 5, 5);
  EXPECT_EQ(layer.Move(6, 5), (Displacement{1, 0}));
}

TEST(TTransForm, AMoveOfZeroPixelsOrALockedLayerMovesNothing) {
  TTransForm layer;
  layer.Press(kLeftButton, 7, 9);
  EXPECT_EQ(layer.Move(7, 9), std::nullopt);
  EXPECT_TRUE(layer.Dragging());
  layer.Moveable = false;
  EXPECT_EQ(layer.Move(50, 50), std::nullopt);
  layer.Moveable = true;
  EXPECT_EQ(layer.Move(50, 50), (Displacement{43, 41}));
}

}  // namespace
}  // namespace dravik::core
