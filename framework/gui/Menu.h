// CMenu: a menu handle and the platform's menu functions, with the flag
// words split into arguments: `byPosition` nonzero means the item is a
// zero-based position (MF_BYPOSITION), otherwise a command identifier.
// A CMenu never destroys its menu: only DestroyMenu does (or the platform,
// with the window the menu belongs to), so copies and temporaries are safe.
//
//   CMenu menu;
//   menu.CreatePopupMenu();
//   menu.Append(MF_STRING, 100, "&Open");
//   menu.EnableItem(100, FALSE, FALSE, TRUE);   // grayed
//   menu.DestroyMenu();
#pragma once

#include "framework/Object.h"
#include "platform/Platform.h"
#include "text/Text.h"

class CMenu : public CObject {
 public:
  CMenu() = default;
  // Leaves the menu alone.
  ~CMenu() override = default;

  // A temporary for `menu` until the next purge; null for null.
  static CMenu *Wrap(HMENU menu);

  // Takes `menu` when it is a menu; otherwise 0 and the old handle stays.
  // A menu held before is not destroyed.
  BOOL Attach(HMENU menu);
  // Returns the handle and forgets it.
  HMENU Detach();
  BOOL IsMenu() const { return ::IsMenu(handle); }
  BOOL IsValid() const { return handle != nullptr; }
  HMENU GetHandle() const { return handle; }

  BOOL CreateMenu();
  BOOL CreatePopupMenu();
  BOOL LoadIndirect(const void *menuTemplate);
  // A menu resource of the resource module.
  BOOL Load(const char *name);
  // Destroys the menu but keeps the handle: IsValid stays 1, IsMenu is 0.
  BOOL DestroyMenu();

  BOOL AppendSeparator();
  BOOL Append(UINT flags, UINT_PTR identifier, const char *text);
  BOOL AppendOwnerDraw(UINT flags, UINT_PTR identifier, const void *itemData);
  BOOL AppendPopup(UINT flags, HMENU submenu, const char *text);
  BOOL AppendBitmap(UINT flags, UINT_PTR identifier, HBITMAP bitmap);
  BOOL InsertSeparator(UINT position, BOOL byPosition);
  BOOL Insert(UINT position, BOOL byPosition, UINT flags, UINT_PTR identifier, const char *text);
  BOOL InsertOwnerDraw(UINT position, BOOL byPosition, UINT flags, UINT_PTR identifier, const void *itemData);
  BOOL InsertPopup(UINT position, BOOL byPosition, UINT flags, HMENU submenu, const char *text);
  BOOL InsertBitmap(UINT position, BOOL byPosition, UINT flags, UINT_PTR identifier, HBITMAP bitmap);
  BOOL Modify(UINT position, BOOL byPosition, UINT flags, UINT_PTR identifier, const char *text);
  BOOL DeleteItem(UINT position, BOOL byPosition);
  BOOL RemoveItem(UINT position, BOOL byPosition);
  BOOL InsertItem(UINT item, BOOL byPosition, const MENUITEMINFOA *info);

  // The previous check state, or (DWORD)-1 for no such item.
  DWORD CheckItem(UINT item, BOOL byPosition, BOOL checked);
  BOOL CheckRadioItem(UINT first, UINT last, UINT item, BOOL byPosition);
  // Enabled, else grayed, else disabled; the previous state, or -1.
  BOOL EnableItem(UINT item, BOOL byPosition, BOOL enabled, BOOL grayed);
  BOOL EnableItemFlags(UINT item, BOOL byPosition, UINT flags);
  BOOL SetDefaultItem(UINT item, BOOL byPosition);
  UINT GetDefaultItem(UINT options, BOOL byPosition);
  int GetItemCount() const;
  UINT GetItemID(int position) const;
  UINT GetItemState(UINT item, BOOL byPosition) const;
  // The item's text, whole; empty for an item without text.
  CText GetItemText(UINT item, BOOL byPosition) const;
  // A temporary for the submenu at `position`; null when there is none.
  CMenu *GetSubMenu(int position) const;
  BOOL TrackPopup(UINT flags, int x, int y, HWND owner, const RECT *rectangle);

 protected:
  HMENU handle = nullptr;
};
