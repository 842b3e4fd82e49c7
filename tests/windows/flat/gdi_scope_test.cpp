// The scope guards give back what they borrow and delete what they made, so that painting
// thousands of times leaks nothing and leaves every device context as it found it.

#ifdef _WIN32

#include "windows/flat/gdi_scope.h"

#include <gtest/gtest.h>

namespace dravik::windows {
namespace {

TEST(GdiScopeTest, MadeObjectsAndMemoryContextsAreDeletedAtTheEndOfTheirScope) {
  HBRUSH brush = nullptr;
  HPEN pen = nullptr;
  HDC memory = nullptr;
  HBITMAP bitmap = nullptr;
  {
    const SolidBrush solidBrush(RGB(1, 2, 3));
    const SolidPen solidPen(RGB(4, 5, 6), 2);
    const MemoryDc memoryDc(nullptr);
    const CompatibleBitmap picture(memoryDc.Get(), 4, 4);
    brush = solidBrush.Get();
    pen = solidPen.Get();
    memory = memoryDc.Get();
    bitmap = picture.Get();
    EXPECT_EQ(GetObjectType(brush), static_cast<DWORD>(OBJ_BRUSH));
    EXPECT_EQ(GetObjectType(pen), static_cast<DWORD>(OBJ_PEN));
    EXPECT_EQ(GetObjectType(memory), static_cast<DWORD>(OBJ_MEMDC));
    EXPECT_EQ(GetObjectType(bitmap), static_cast<DWORD>(OBJ_BITMAP));
  }
  EXPECT_EQ(GetObjectType(brush), 0U);
  EXPECT_EQ(GetObjectType(pen), 0U);
  EXPECT_EQ(GetObjectType(memory), 0U);
  EXPECT_EQ(GetObjectType(bitmap), 0U);
}

// A brush still selected when it is deleted would stay in use; the selection must end first,
// and nested selections must unwind to the context's own object.
TEST(GdiScopeTest, SelectionsPutBackWhatWasSelectedBefore) {
  const MemoryDc dc(nullptr);
  const HGDIOBJ original = GetCurrentObject(dc.Get(), OBJ_BRUSH);
  HBRUSH outer = nullptr;
  {
    const SolidBrush first(RGB(10, 0, 0));
    const Selection selectFirst(dc.Get(), first.Get());
    outer = first.Get();
    {
      const SolidBrush second(RGB(0, 10, 0));
      const Selection selectSecond(dc.Get(), second.Get());
      EXPECT_EQ(GetCurrentObject(dc.Get(), OBJ_BRUSH), second.Get());
    }
    EXPECT_EQ(GetCurrentObject(dc.Get(), OBJ_BRUSH), first.Get());
  }
  EXPECT_EQ(GetCurrentObject(dc.Get(), OBJ_BRUSH), original);
  EXPECT_EQ(GetObjectType(outer), 0U);
}

}  // namespace
}  // namespace dravik::windows

#endif  // _WIN32
