#pragma once
// Handlers of the members that work on items, buffers and files; the member
// table names them in its rows.
#include "platform/com/dispatcher.h"
#include <functional>

#include "vinca/control/control.h"
#include "vinca/model/picture.h"

namespace vinca::members {

using Call = plat::DispCall;

// ---- items ----
void AddItem(CVincaCtrl& self, Call& c);
void InsertItem(CVincaCtrl& self, Call& c);
void FastAddItem(CVincaCtrl& self, Call& c);
void FastAddItemEx(CVincaCtrl& self, Call& c);
void RemoveItem(CVincaCtrl& self, Call& c);
void Clear(CVincaCtrl& self, Call& c);
void FindItem(CVincaCtrl& self, Call& c);
void FindValue(CVincaCtrl& self, Call& c);
void TranslateIndex(CVincaCtrl& self, Call& c);
void GetCoerceIndex(CVincaCtrl& self, Call& c);
void PutCoerceIndex(CVincaCtrl& self, Call& c);
void GetShift(CVincaCtrl& self, Call& c);
void PutShift(CVincaCtrl& self, Call& c);
void GetCurrentParent(CVincaCtrl& self, Call& c);
void PutCurrentParent(CVincaCtrl& self, Call& c);
void PutCurrentItem(CVincaCtrl& self, Call& c);
void GetCurrentItem(CVincaCtrl& self, Call& c);
// The texts of the item and its ancestors joined by the path separator.
std::string JoinedPath(CVincaCtrl& self, CItem* item);
void PutRedraw(CVincaCtrl& self, Call& c);
void Refresh(CVincaCtrl& self, Call& c);
void GetItemValue(CVincaCtrl& self, Call& c, plat::VARTYPE type);
void PutItemValue(CVincaCtrl& self, Call& c, plat::VARTYPE type);
void GetItemHeight(CVincaCtrl& self, Call& c);
void PutItemHeight(CVincaCtrl& self, Call& c);

// The item's tree-cell font.
enum class FontField { Name, Size, Bold, Italic, Strike, Under };
void GetItemFont(CVincaCtrl& self, Call& c, FontField field);
void PutItemFont(CVincaCtrl& self, Call& c, FontField field);
// Changes the item's font (made from the control's font when it has none).
void ChangeItemFont(CVincaCtrl& self, CItem* item, const std::function<void(FontDesc&)>& change);

// ---- selection ----
void GetSelItemCount(CVincaCtrl& self, Call& c);
void GetSelItemIndex(CVincaCtrl& self, Call& c);
void GetSelected(CVincaCtrl& self, Call& c);
// Whether the item's row is selected (without multi-select: it is current).
bool RowSelected(CVincaCtrl& self, CItem* item);
// Selected moves the focus to the item (multi-select), SelectEx does not.
void PutSelected(CVincaCtrl& self, Call& c, bool moveFocus);
void CopySelected(CVincaCtrl& self, Call& c);

// ---- buffers, files and the clipboard ----
// CopyItem (0), CopyOne (1), CopyItemSub (2).
void CopyToBuffer(CVincaCtrl& self, Call& c, int mode);
// The item with its subtree into a new buffer (7 when memory runs out).
void CopyItemToBuffer(CVincaCtrl& self, Call& c, CItem* item);
// The items with their subtrees, in order, as one list in a new buffer.
void CopyItemsToBuffer(CVincaCtrl& self, Call& c, const std::vector<CItem*>& items);
void AddBuffer(CVincaCtrl& self, Call& c, bool insert);
void SaveToFile(CVincaCtrl& self, Call& c, int what);
void LoadFromFile(CVincaCtrl& self, Call& c, bool insert);
void FileAction(CVincaCtrl& self, Call& c);
void ClipboardAction(CVincaCtrl& self, Call& c);
void SaveBuffer(CVincaCtrl& self, Call& c);
void LoadBuffer(CVincaCtrl& self, Call& c);
void PasteBuffer(CVincaCtrl& self, Call& c);
void SaveData(CVincaCtrl& self, Call& c);
void LoadPicture(CVincaCtrl& self, Call& c);
// The control's empty picture; the stored picture of a value (null for
// Nothing or the empty picture, 380 for anything else).
plat::Variant EmptyPictureValue();
plat::ComPtr<IVincaPicture> PictureFromValue(const plat::VARIANT& v);
// Pictures of the item's tree cell ("__Image", "__InvImage") and its value.
void GetTreePicture(CVincaCtrl& self, Call& c, const char* key);
void PutTreePicture(CVincaCtrl& self, Call& c, const char* key);
void GetPicValue(CVincaCtrl& self, Call& c);
void PutPicValue(CVincaCtrl& self, Call& c);
// Mark pictures and the picture list they form.
void GetMarkPicture(CVincaCtrl& self, Call& c);
void PutMarkPicture(CVincaCtrl& self, Call& c);
void GetPictureList(CVincaCtrl& self, Call& c);
void LoadData(CVincaCtrl& self, Call& c);

} // namespace vinca::members
