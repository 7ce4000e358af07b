#pragma once
// What the views ask of the control that shows them. The control implements
// IViewHost; tests use a fixture. The views never reach the control object
// in any other way.
#include <cstdint>
#include <string>

#include "platform/gdi/color.h"
#include "vinca/model/containers.h"
#include "vinca/model/errors.h"
#include "vinca/model/picture.h"
#include "vinca/views/attr_chain.h"

class QEvent;

namespace vinca {

class CItem;
struct CTreeCellData;

// The control's handlers of the window's input (mouse, keys, wheel, focus):
// they see each event first and answer true when they took it.
class IWindowInput {
  public:
    virtual bool WindowInput(QEvent* e) = 0;

  protected:
    ~IWindowInput() = default;
};

// The control's properties that the views read.
struct ViewSettings {
    int32_t indent{19};
    int32_t lineStyle{0};
    bool linesShown{true};
    bool plusMinusShown{true};
    bool picturesShown{true};
    int32_t invStyle{0};
    plat::gdi::OLE_COLOR backColor{0x80000005};
    plat::gdi::OLE_COLOR foreColor{0x80000008};
    plat::gdi::OLE_COLOR selBackColor{0x8000000D};
    plat::gdi::OLE_COLOR selForeColor{0x8000000E};
    plat::gdi::OLE_COLOR linesColor{0x00808080};
    FontDesc font{"DejaVu Sans", 82500, 400, 0, false, false, false};
    bool drawFocusRect{true};
    // 0 no caption, 1 flat in window colours, 2 raised in button colours.
    int32_t showCaption{0};
    std::string caption;
    // What each tree cell shows beyond the above: the content's left
    // offset, where a picture sits beside multi-line text, whether the text
    // shows, and the pictures of the plus/minus box (a box is drawn by hand
    // unless both are set).
    int32_t xOffset{0};
    int32_t picInMultiLine{0};
    bool textShown{true};
    plat::ComPtr<IVincaPicture> plusPicture;
    plat::ComPtr<IVincaPicture> minusPicture;
    // Every row as high as the first one.
    bool uniformRows{false};
    // The frame around the window: 0 none, 1 single (a sunken edge with the
    // 3-D appearance, a line with the flat one), 2 two pixels, 3 inset,
    // 4 outset.
    int32_t borderStyle{0};
    int32_t appearance{0};
};

// The control's settings that the window's behaviour follows (scroll bars,
// tool tips, dragging), read when the control names a change of them.
struct ViewBehaviour {
    int32_t scrollBars{3}; // 1 horizontal, 2 vertical, 3 both
    bool disableNoScroll{false};
    bool toolTipsOn{false};
    uint32_t toolTipsDelay{400};
    int32_t toolTipsViewStyle{0};
    plat::gdi::OLE_COLOR toolTipsForeColor{0x80000017};
    plat::gdi::OLE_COLOR toolTipsBackColor{0x80000018};
    int32_t environment{0};
    int32_t autoDragMode{0};
    bool smartDrag{false};
    // The pointer over the window when nothing else claims it: 0 the
    // default, 1 to 15 the standard shapes, 16 `mouseIcon`.
    int32_t mousePointer{0};
    plat::ComPtr<IVincaPicture> mouseIcon;
};

// The layers behind the rows, as the control's properties set them.
struct ViewBackground {
    plat::gdi::OLE_COLOR gradientFrom{0xFFFFFF};
    plat::gdi::OLE_COLOR gradientTo{0xFF0000};
    int32_t gradientStyle{0};
    plat::ComPtr<IVincaPicture> picture;
    int32_t pictureAlignment{0};
    bool transparentBitmap{false};
    plat::gdi::OLE_COLOR transparentColor{0xFFFFFF};
    bool transparentBackground{false};
};

class IViewHost {
  public:
    virtual ~IViewHost() = default;
    virtual const ViewSettings& Settings() const = 0;
    // Adds what the control keeps for an item's tree cell (pictures,
    // colours, values) to the chain the cell reads.
    virtual void ItemAttributes(CItem* item, CMapAttrChain& attrs) {}
    // Fills what the control keeps for an item's tree cell beyond the common
    // settings: the item's picture and selected picture, and its mark.
    virtual void ItemTreeData(CItem* item, CTreeCellData& data) {}
    // Adds the control's default cell attributes (the last source of every
    // cell's chain), for cells made outside the tree, such as page headers.
    virtual void DefaultCellAttributes(CMapAttrChain& attrs) {}
    virtual void RaiseError(VResult code) {}
    // The index the container knows an item by (its events name items so).
    virtual int32_t ItemIndex(CItem* item) { return -1; }
    // Editing events. RequestEditing may change the text and the edit flags
    // and answers false to cancel; AfterEditing answers false to refuse the
    // new text; the key events answer false when they consumed the key, and
    // may change it (0 drops it with its character and key-up).
    virtual bool RequestEditing(int32_t index, std::string& text, int32_t& flags) { return true; }
    virtual bool AfterEditing(int32_t index, const std::string& text, int32_t flag) { return true; }
    virtual bool EditingKeyDown(int32_t index, int32_t& key, int32_t shift) { return true; }
    virtual bool EditingKeyPress(int32_t index, int32_t& key) { return true; }
    virtual bool EditingKeyUp(int32_t index, int32_t& key, int32_t shift) { return true; }
    // The selected rows, kept by the control (the same set its members
    // read); null when the control keeps none.
    virtual CRangeSet* SelectedRows() { return nullptr; }
    virtual int32_t SelectionMode() const { return 0; }
    // Paints the container under a transparent control into `dc`, whose
    // (0, 0) is the control's top-left; false when there is nothing to paint.
    virtual bool PaintParentBackground(plat::gdi::Dc& dc, const plat::gdi::Rect& rect) { return false; }
    // Gradient, picture and transparency behind the rows.
    virtual const ViewBackground& Background() const {
        static const ViewBackground none;
        return none;
    }
    // A scroll of the window (bar 0 horizontal, 1 vertical, with the scroll
    // code and thumb position) is offered first; false cancels it.
    virtual bool OfferScroll(int32_t bar, int32_t code, int32_t pos) { return true; }
    // The current row moved (a click, a key, the auto-scroll).
    virtual void CurrentRowMoved(int32_t row) {}
    // Scroll bars, tool tips and dragging as the control has them set.
    virtual const ViewBehaviour& Behaviour() const {
        static const ViewBehaviour defaults;
        return defaults;
    }
    // Whether the control follows an item's link when it is clicked; the
    // pointer then shows a hand over the item.
    virtual bool ItemHasLink(CItem* item) { return false; }
};

} // namespace vinca
