#include <gtest/gtest.h>

#include <string>

#include "GuiTestSupport.h"
#include "TestResources.h"
#include "framework/Application.h"
#include "framework/gui/Menu.h"

namespace {

// A popup menu of six commands, 100 to 105, destroyed with the object.
class SixItemMenu {
 public:
  SixItemMenu() {
    menu.CreatePopupMenu();
    for (UINT id = 100; id <= 105; ++id) menu.Append(MF_STRING, id, ("Item " + std::to_string(id)).c_str());
  }
  SixItemMenu(const SixItemMenu &) = delete;
  SixItemMenu &operator=(const SixItemMenu &) = delete;
  ~SixItemMenu() { menu.DestroyMenu(); }
  CMenu menu;
};

const UINT kEnableBits = MF_GRAYED | MF_DISABLED;

TEST(Menu, EnableItemPassesEnabledGrayedOrDisabledWithThePositionFlag) {
  struct Case {
    const char *name;
    UINT item;
    BOOL byPosition, enabled, grayed;
    UINT expected;  // the item's enable bits afterwards
  };
  const Case cases[] = {
      {"grayed by position", 5, TRUE, FALSE, TRUE, MF_GRAYED},
      {"disabled by command", 105, FALSE, FALSE, FALSE, MF_DISABLED},
      {"enabled wins over grayed", 105, FALSE, TRUE, TRUE, MF_ENABLED},
      {"grayed by command", 102, FALSE, FALSE, TRUE, MF_GRAYED},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    SixItemMenu m;
    m.menu.EnableItemFlags(c.item, c.byPosition, MF_GRAYED);
    EXPECT_EQ(m.menu.EnableItem(c.item, c.byPosition, c.enabled, c.grayed), static_cast<BOOL>(MF_GRAYED))
        << "not the previous state";
    EXPECT_EQ(m.menu.GetItemState(c.item, c.byPosition) & kEnableBits, c.expected);
  }
  SixItemMenu m;
  EXPECT_EQ(m.menu.EnableItem(5, FALSE, FALSE, TRUE), -1) << "5 is no command";
  EXPECT_EQ(m.menu.GetItemState(5, TRUE) & kEnableBits, 0u);
}

TEST(Menu, CheckItemSetsOrClearsTheCheckAndReturnsThePreviousState) {
  SixItemMenu m;
  EXPECT_EQ(m.menu.CheckItem(101, FALSE, TRUE), static_cast<DWORD>(MF_UNCHECKED));
  EXPECT_EQ(m.menu.GetItemState(101, FALSE) & MF_CHECKED, static_cast<UINT>(MF_CHECKED));
  EXPECT_EQ(m.menu.CheckItem(101, FALSE, TRUE), static_cast<DWORD>(MF_CHECKED));
  EXPECT_EQ(m.menu.CheckItem(1, TRUE, FALSE), static_cast<DWORD>(MF_CHECKED)) << "position 1 is command 101";
  EXPECT_EQ(m.menu.GetItemState(101, FALSE) & MF_CHECKED, 0u);

  EXPECT_TRUE(m.menu.CheckRadioItem(100, 103, 102, FALSE));
  EXPECT_TRUE(m.menu.GetItemState(102, FALSE) & MF_CHECKED);
  EXPECT_FALSE(m.menu.GetItemState(100, FALSE) & MF_CHECKED);
}

TEST(Menu, InsertSeparatorAndDeleteItemGoByPositionOrByCommand) {
  SixItemMenu m;
  EXPECT_TRUE(m.menu.InsertSeparator(2, TRUE));
  EXPECT_TRUE(m.menu.GetItemState(2, TRUE) & MF_SEPARATOR);
  EXPECT_EQ(m.menu.GetItemID(3), 102u);
  EXPECT_TRUE(m.menu.InsertSeparator(104, FALSE));
  EXPECT_TRUE(m.menu.GetItemState(5, TRUE) & MF_SEPARATOR) << "not before command 104";
  EXPECT_EQ(m.menu.GetItemCount(), 8);

  EXPECT_TRUE(m.menu.DeleteItem(0, TRUE));
  EXPECT_TRUE(m.menu.RemoveItem(105, FALSE));
  EXPECT_EQ(m.menu.GetItemCount(), 6);
  EXPECT_EQ(m.menu.GetItemID(0), 101u);
  EXPECT_TRUE(m.menu.Modify(101, FALSE, MF_STRING, 200, "Renamed"));
  EXPECT_EQ(m.menu.GetItemText(200, FALSE), "Renamed");
}

TEST(Menu, GetItemTextGivesTheWholeTextOrAnEmptyOne) {
  const std::string longText(300, 'x');
  const char *doubleByte = "\x83\x5C\x83\x74\x83\x67";  // Shift_JIS bytes, kept as they are
  CMenu menu;
  ASSERT_TRUE(menu.CreatePopupMenu());
  menu.Append(MF_STRING, 1, "&Open");
  menu.Append(MF_STRING, 2, longText.c_str());
  menu.Append(MF_STRING, 3, doubleByte);
  menu.AppendSeparator();
  menu.AppendOwnerDraw(0, 5, reinterpret_cast<const void *>(0x1234));
  menu.Append(MF_STRING, 6, "");
  struct Case {
    const char *name;
    UINT item;
    BOOL byPosition;
    std::string expected;
  };
  const Case cases[] = {
      {"plain text", 1, FALSE, "&Open"},
      {"300 bytes", 2, FALSE, longText},
      {"high bytes", 2, TRUE, doubleByte},
      {"separator", 3, TRUE, ""},
      {"owner-drawn item", 5, FALSE, ""},
      {"empty text", 6, FALSE, ""},
      {"no such item", 99, FALSE, ""},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    CText text = menu.GetItemText(c.item, c.byPosition);
    EXPECT_EQ(std::string(text.c_str(), text.Length()), c.expected);
  }
  menu.DestroyMenu();
}

TEST(Menu, GetSubMenuWrapsAPopupAndGivesNullForAPlainItem) {
  CMenu sub;
  ASSERT_TRUE(sub.CreatePopupMenu());
  sub.Append(MF_STRING, 7, "Inner");
  CMenu bar;
  ASSERT_TRUE(bar.CreateMenu());
  bar.Append(MF_STRING, 1, "Plain");
  EXPECT_TRUE(bar.AppendPopup(0, sub.GetHandle(), "Popup"));
  EXPECT_EQ(bar.GetSubMenu(0), nullptr);
  EXPECT_EQ(bar.GetSubMenu(9), nullptr);
  CMenu *wrapped = bar.GetSubMenu(1);
  ASSERT_NE(wrapped, nullptr);
  EXPECT_EQ(wrapped->GetHandle(), sub.GetHandle());
  EXPECT_NE(bar.GetSubMenu(1), wrapped) << "every call makes a new temporary";
  PurgeTemporaryObjects();
  EXPECT_TRUE(sub.IsMenu()) << "the purge destroyed a wrapped menu";
  EXPECT_EQ(CMenu::Wrap(nullptr), nullptr);
  bar.DestroyMenu();  // destroys the popup with it
  EXPECT_FALSE(sub.IsMenu());
}

TEST(Menu, AttachOfSomethingThatIsNotAMenuKeepsTheHandleHeld) {
  CMenu destroyed;
  destroyed.CreateMenu();
  destroyed.DestroyMenu();
  CMenu menu;
  ASSERT_TRUE(menu.CreateMenu());
  HMENU held = menu.GetHandle();
  for (HMENU bad : {static_cast<HMENU>(nullptr), destroyed.GetHandle(), reinterpret_cast<HMENU>(0x4321)}) {
    EXPECT_FALSE(menu.Attach(bad));
    EXPECT_EQ(menu.GetHandle(), held);
  }
  EXPECT_EQ(menu.Detach(), held);
  EXPECT_FALSE(menu.IsValid());
  EXPECT_TRUE(menu.Attach(held));
  menu.DestroyMenu();
}

TEST(Menu, DestroyMenuDestroysTheMenuButKeepsTheHandle) {
  CMenu empty;
  EXPECT_FALSE(empty.DestroyMenu());
  CMenu menu;
  ASSERT_TRUE(menu.CreatePopupMenu());
  HMENU handle = menu.GetHandle();
  { CMenu copy = menu; }
  EXPECT_TRUE(::IsMenu(handle)) << "destroying a CMenu destroyed its menu";
  EXPECT_TRUE(menu.DestroyMenu());
  EXPECT_TRUE(menu.IsValid());
  EXPECT_FALSE(menu.IsMenu());
  EXPECT_EQ(menu.GetHandle(), handle);
}

TEST(Menu, LoadIndirectBuildsTheMenuOfATemplate) {
  TestResourceModule resources;
  HRSRC resource = ::FindResourceA(resources.Get(), MAKEINTRESOURCEA(TEST_MENU_ID), RT_MENU);
  ASSERT_NE(resource, nullptr);
  const void *menuTemplate = ::LockResource(::LoadResource(resources.Get(), resource));
  CMenu menu;
  ASSERT_TRUE(menu.LoadIndirect(menuTemplate));
  ASSERT_EQ(menu.GetItemCount(), 2);
  EXPECT_EQ(menu.GetItemText(0, TRUE), "&File");
  EXPECT_EQ(menu.GetItemID(1), 103u);
  CMenu *file = menu.GetSubMenu(0);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(file->GetItemCount(), 3);
  EXPECT_EQ(file->GetItemText(101, FALSE), "&Open");
  EXPECT_TRUE(file->GetItemState(1, TRUE) & MF_SEPARATOR);
  EXPECT_TRUE(file->GetItemState(102, FALSE) & MF_GRAYED);
  menu.DestroyMenu();
}

TEST(Menu, InsertItemAndGetDefaultItemGoByPositionOrByCommand) {
  SixItemMenu m;
  char text[] = "New";
  MENUITEMINFOA info = {};
  info.cbSize = sizeof info;
  info.fMask = MIIM_ID | MIIM_STRING;
  info.dwTypeData = text;
  info.wID = 200;
  EXPECT_TRUE(m.menu.InsertItem(1, TRUE, &info));
  info.wID = 201;
  EXPECT_TRUE(m.menu.InsertItem(104, FALSE, &info));
  const UINT order[] = {100, 200, 101, 102, 103, 201, 104, 105};
  ASSERT_EQ(m.menu.GetItemCount(), 8);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(m.menu.GetItemID(i), order[i]) << "position " << i;
  EXPECT_EQ(m.menu.GetItemText(201, FALSE), "New");

  // The default item, command 102 at position 3, grayed: only found when
  // disabled items count.
  EXPECT_EQ(m.menu.GetDefaultItem(0, FALSE), static_cast<UINT>(-1)) << "no default yet";
  ASSERT_TRUE(m.menu.SetDefaultItem(102, FALSE));
  EXPECT_EQ(m.menu.GetDefaultItem(0, FALSE), 102u);
  EXPECT_EQ(m.menu.GetDefaultItem(0, TRUE), 3u);
  m.menu.EnableItem(102, FALSE, FALSE, TRUE);
  EXPECT_EQ(m.menu.GetDefaultItem(0, TRUE), static_cast<UINT>(-1));
  EXPECT_EQ(m.menu.GetDefaultItem(GMDI_USEDISABLED, TRUE), 3u);
  EXPECT_EQ(m.menu.GetDefaultItem(GMDI_USEDISABLED, FALSE), 102u);
}

}  // namespace
