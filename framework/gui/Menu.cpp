#include "framework/gui/Menu.h"

#include <climits>
#include <cstring>

#include "framework/Application.h"
#include "framework/gui/Temporary.h"
#include "text/HeapBlock.h"

namespace {

UINT PositionFlag(BOOL byPosition) {
  return byPosition ? MF_BYPOSITION : 0;
}

// Item data, submenus and bitmaps travel in the text argument of the
// platform's append, insert and modify calls.
const char *AsItemText(const void *value) {
  return static_cast<const char *>(value);
}

}  // namespace

CMenu *CMenu::Wrap(HMENU menu) {
  return MakeTemporary<CMenu>(menu, [](CMenu &wrapper, HMENU borrowed) { wrapper.Attach(borrowed); });
}

BOOL CMenu::Attach(HMENU menu) {
  if (!::IsMenu(menu)) return FALSE;
  handle = menu;
  return TRUE;
}

HMENU CMenu::Detach() {
  HMENU menu = handle;
  handle = nullptr;
  return menu;
}

BOOL CMenu::CreateMenu() {
  return Attach(::CreateMenu());
}

BOOL CMenu::CreatePopupMenu() {
  return Attach(::CreatePopupMenu());
}

BOOL CMenu::LoadIndirect(const void *menuTemplate) {
  return Attach(::LoadMenuIndirectA(menuTemplate));
}

BOOL CMenu::Load(const char *name) {
  return Attach(::LoadMenuA(GetResourceHandle(), name));
}

BOOL CMenu::DestroyMenu() {
  if (!handle) return FALSE;
  return ::DestroyMenu(handle);
}

BOOL CMenu::AppendSeparator() {
  return ::AppendMenuA(handle, MF_SEPARATOR, 0, nullptr);
}

BOOL CMenu::Append(UINT flags, UINT_PTR identifier, const char *text) {
  return ::AppendMenuA(handle, flags, identifier, text);
}

BOOL CMenu::AppendOwnerDraw(UINT flags, UINT_PTR identifier, const void *itemData) {
  return ::AppendMenuA(handle, flags | MF_OWNERDRAW, identifier, AsItemText(itemData));
}

BOOL CMenu::AppendPopup(UINT flags, HMENU submenu, const char *text) {
  return ::AppendMenuA(handle, flags | MF_POPUP, reinterpret_cast<UINT_PTR>(submenu), text);
}

BOOL CMenu::AppendBitmap(UINT flags, UINT_PTR identifier, HBITMAP bitmap) {
  return ::AppendMenuA(handle, flags | MF_BITMAP, identifier, AsItemText(bitmap));
}

BOOL CMenu::InsertSeparator(UINT position, BOOL byPosition) {
  return ::InsertMenuA(handle, position, MF_SEPARATOR | PositionFlag(byPosition), 0, nullptr);
}

BOOL CMenu::Insert(UINT position, BOOL byPosition, UINT flags, UINT_PTR identifier, const char *text) {
  return ::InsertMenuA(handle, position, flags | PositionFlag(byPosition), identifier, text);
}

BOOL CMenu::InsertOwnerDraw(UINT position, BOOL byPosition, UINT flags, UINT_PTR identifier, const void *itemData) {
  return Insert(position, byPosition, flags | MF_OWNERDRAW, identifier, AsItemText(itemData));
}

BOOL CMenu::InsertPopup(UINT position, BOOL byPosition, UINT flags, HMENU submenu, const char *text) {
  return Insert(position, byPosition, flags | MF_POPUP, reinterpret_cast<UINT_PTR>(submenu), text);
}

BOOL CMenu::InsertBitmap(UINT position, BOOL byPosition, UINT flags, UINT_PTR identifier, HBITMAP bitmap) {
  return Insert(position, byPosition, flags | MF_BITMAP, identifier, AsItemText(bitmap));
}

BOOL CMenu::Modify(UINT position, BOOL byPosition, UINT flags, UINT_PTR identifier, const char *text) {
  return ::ModifyMenuA(handle, position, flags | PositionFlag(byPosition), identifier, text);
}

BOOL CMenu::DeleteItem(UINT position, BOOL byPosition) {
  return ::DeleteMenu(handle, position, PositionFlag(byPosition));
}

BOOL CMenu::RemoveItem(UINT position, BOOL byPosition) {
  return ::RemoveMenu(handle, position, PositionFlag(byPosition));
}

BOOL CMenu::InsertItem(UINT item, BOOL byPosition, const MENUITEMINFOA *info) {
  return ::InsertMenuItemA(handle, item, byPosition, info);
}

DWORD CMenu::CheckItem(UINT item, BOOL byPosition, BOOL checked) {
  return ::CheckMenuItem(handle, item, PositionFlag(byPosition) | (checked ? MF_CHECKED : MF_UNCHECKED));
}

BOOL CMenu::CheckRadioItem(UINT first, UINT last, UINT item, BOOL byPosition) {
  return ::CheckMenuRadioItem(handle, first, last, item, PositionFlag(byPosition));
}

BOOL CMenu::EnableItem(UINT item, BOOL byPosition, BOOL enabled, BOOL grayed) {
  UINT state = enabled ? MF_ENABLED : grayed ? MF_GRAYED : MF_DISABLED;
  return ::EnableMenuItem(handle, item, PositionFlag(byPosition) | state);
}

BOOL CMenu::EnableItemFlags(UINT item, BOOL byPosition, UINT flags) {
  return ::EnableMenuItem(handle, item, flags | PositionFlag(byPosition));
}

BOOL CMenu::SetDefaultItem(UINT item, BOOL byPosition) {
  return ::SetMenuDefaultItem(handle, item, byPosition ? TRUE : FALSE);
}

UINT CMenu::GetDefaultItem(UINT options, BOOL byPosition) {
  return ::GetMenuDefaultItem(handle, byPosition ? TRUE : FALSE, options);
}

int CMenu::GetItemCount() const {
  return ::GetMenuItemCount(handle);
}

UINT CMenu::GetItemID(int position) const {
  return ::GetMenuItemID(handle, position);
}

UINT CMenu::GetItemState(UINT item, BOOL byPosition) const {
  return ::GetMenuState(handle, item, PositionFlag(byPosition));
}

CText CMenu::GetItemText(UINT item, BOOL byPosition) const {
  int length = ::GetMenuStringA(handle, item, nullptr, 0, PositionFlag(byPosition));
  if (length <= 0) return CText();
  // Room for two bytes a character: some systems count this length in
  // characters, and a Shift_JIS character may take two bytes.
  int capacity = length < (INT_MAX - 1) / 2 ? length * 2 + 1 : INT_MAX;
  HeapBlock block;
  char *text = static_cast<char *>(block.Allocate(static_cast<uint32_t>(capacity)));
  ::GetMenuStringA(handle, item, text, capacity, PositionFlag(byPosition));
  return CText(text, ::strnlen(text, static_cast<size_t>(capacity) - 1));
}

CMenu *CMenu::GetSubMenu(int position) const {
  HMENU submenu = ::GetSubMenu(handle, position);
  return submenu ? Wrap(submenu) : nullptr;
}

BOOL CMenu::TrackPopup(UINT flags, int x, int y, HWND owner, const RECT *rectangle) {
  return ::TrackPopupMenu(handle, flags, x, y, 0, owner, rectangle);
}
