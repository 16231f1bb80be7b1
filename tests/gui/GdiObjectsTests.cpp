#include <gtest/gtest.h>

#include <functional>

#include "GuiTestSupport.h"
#include "framework/Application.h"
#include "framework/gui/GdiObjects.h"

namespace {

// One GDI class driven through its common operations: the object it makes
// for the case, and what the class does with it.
struct GdiCase {
  const char *name;
  std::function<HGDIOBJ()> make;
  // Gives `object` to a new wrapper object with SetHandle, sets its
  // ownership and destroys it.
  std::function<void(HGDIOBJ, bool)> holdAndDestroy;
  // Two Wrap calls for `object`: whether they gave two distinct borrowing
  // wrappers of it.
  std::function<bool(HGDIOBJ)> wrapTwice;
};

template <typename Wrapper, typename Handle>
GdiCase Case(const char *name, std::function<Handle()> make) {
  return GdiCase{
      name,
      [make] { return static_cast<HGDIOBJ>(make()); },
      [](HGDIOBJ object, bool owns) {
        Wrapper wrapper;
        EXPECT_TRUE(wrapper.SetHandle(static_cast<Handle>(object)));
        wrapper.SetOwnership(owns);
      },
      [](HGDIOBJ object) {
        Wrapper *first = Wrapper::Wrap(static_cast<Handle>(object));
        Wrapper *second = Wrapper::Wrap(static_cast<Handle>(object));
        return first && second && first != second && first->GetHandle() == object &&
               second->GetHandle() == object && !first->OwnsHandle() && !second->OwnsHandle();
      },
  };
}

std::vector<GdiCase> AllGdiClasses() {
  return {
      Case<CBrush, HBRUSH>("brush", [] { return ::CreateSolidBrush(RGB(1, 2, 3)); }),
      Case<CPen, HPEN>("pen", [] { return ::CreatePen(PS_SOLID, 2, RGB(4, 5, 6)); }),
      Case<CFont, HFONT>("font",
                         [] {
                           LOGFONTA font = {};
                           font.lfHeight = 12;
                           return ::CreateFontIndirectA(&font);
                         }),
      Case<CRgn, HRGN>("region", [] { return ::CreateRectRgn(0, 0, 10, 10); }),
  };
}

TEST(GdiObjects, EachClassDeletesItsObjectAtDestructionOnlyWhileItOwnsIt) {
  for (const GdiCase &c : AllGdiClasses()) {
    for (bool owns : {true, false}) {
      SCOPED_TRACE(std::string(c.name) + (owns ? ", owned" : ", ownership given up"));
      HGDIOBJ object = c.make();
      ASSERT_TRUE(GdiObjectExists(object));
      c.holdAndDestroy(object, owns);
      EXPECT_EQ(GdiObjectExists(object), !owns);
      if (!owns) ::DeleteObject(object);
    }
  }
}

TEST(GdiObjects, WrapMakesANewBorrowingTemporaryEachTimeAndThePurgeLeavesTheObjectAlive) {
  EXPECT_EQ(CRgn::Wrap(nullptr), nullptr);
  EXPECT_EQ(CBrush::Wrap(nullptr), nullptr);
  for (const GdiCase &c : AllGdiClasses()) {
    SCOPED_TRACE(c.name);
    HGDIOBJ object = c.make();
    EXPECT_TRUE(c.wrapTwice(object));
    PurgeTemporaryObjects();
    EXPECT_TRUE(GdiObjectExists(object)) << "the purge deleted a wrapped object";
    ::DeleteObject(object);
  }
}

TEST(GdiObjects, CloseIsHarmlessWithoutAHandleAndDeletesAtOnceWhateverTheOwnership) {
  CPen empty;
  EXPECT_TRUE(empty.Close());
  EXPECT_EQ(empty.GetHandle(), nullptr);

  HBRUSH brush = ::CreateSolidBrush(RGB(7, 8, 9));
  CBrush borrowed;
  borrowed.SetHandle(brush);
  borrowed.SetOwnership(false);
  EXPECT_TRUE(borrowed.Close());
  EXPECT_FALSE(GdiObjectExists(brush));
  EXPECT_EQ(borrowed.GetHandle(), nullptr);
  EXPECT_FALSE(borrowed.OwnsHandle()) << "Close changed the ownership";
}

TEST(GdiObjects, ASecondSetHandleLeavesTheFirstObjectAliveAndOnlyTheHeldOneIsDeleted) {
  HBRUSH first = ::CreateSolidBrush(RGB(1, 1, 1));
  HBRUSH second = ::CreateSolidBrush(RGB(2, 2, 2));
  {
    CBrush brush;
    brush.SetHandle(first);
    EXPECT_FALSE(brush.SetHandle(nullptr));
    EXPECT_EQ(brush.GetHandle(), first);
    brush.SetHandle(second);
  }
  EXPECT_TRUE(GdiObjectExists(first));
  EXPECT_FALSE(GdiObjectExists(second));
  ::DeleteObject(first);
}

}  // namespace
