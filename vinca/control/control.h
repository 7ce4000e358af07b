#pragma once
// The tree-list control object: the item engine behind one dispatch
// interface, sited in a container through the window-free site protocol,
// persisted through a stream or a property bag. It has no window here;
// members that need one report so.
#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/com/object.h"
#include "platform/com/ole.h"
#include "platform/com/persist.h"
#include "vinca/control/errors.h"
#include "vinca/control/objects/values.h"
#include "vinca/model/attr_sources.h"
#include "vinca/model/engine.h"
#include "vinca/model/persist.h"
#include "vinca/model/thread_registry.h"

namespace vinca {

inline constexpr plat::CLSID CLSID_Vinca5 = plat::make_guid("9D998150-B884-11CE-8D47-444553540000");
inline constexpr plat::IID IID_DVinca5 = plat::make_guid("9D998151-B884-11CE-8D47-444553540000");
inline constexpr plat::IID IID_DVinca5Events = plat::make_guid("9D998152-B884-11CE-8D47-444553540000");
inline constexpr plat::GUID LIBID_Vinca5 = plat::make_guid("9D998153-B884-11CE-8D47-444553540000");
inline constexpr uint32_t kVincaMiscStatus = 0x38191;

// What the views will take over: repaint requests with their flags and
// change code. Null while the control has no window.
class IControlView {
  public:
    virtual void RequestRefresh(int32_t flags, int32_t code) = 0;
    // Drawing goes off (true) or comes back (false): the rows stop
    // following every change and are counted again once, on the way back.
    virtual void HoldRows(bool) {}

  protected:
    ~IControlView() = default;
};

class CControlWindow;
class CControlEvents; // the event connection point
class CReportEngine; // printing
class CWebNavigator; // web links
class CDesignerLink; // the separate designer

class CVincaCtrl final : public plat::DispatchObject<CVincaCtrl, plat::IOleObject, plat::IOleControl,
                                                     plat::IPersistStreamInit, plat::IPersistPropertyBag,
                                                     plat::IOleInPlaceObject, plat::IViewObject2>,
                         public IVincaOwner,
                         public IControlSite,
                         public IPersistTarget {
  public:
    CVincaCtrl();
    ~CVincaCtrl() override;

    static const plat::DispatchTable<CVincaCtrl>& dispatch_table();

    // ---- IOleObject (the members beyond the site and size: ole_object.cpp) ----
    plat::HRESULT SetClientSite(plat::IOleClientSite* site) override;
    plat::HRESULT GetClientSite(plat::IOleClientSite** out) override;
    plat::HRESULT SetHostNames(const plat::OLECHAR*, const plat::OLECHAR*) override { return plat::S_OK; }
    plat::HRESULT Close(uint32_t) override;
    plat::HRESULT SetMoniker(uint32_t, plat::IMoniker*) override { return plat::E_NOTIMPL; }
    plat::HRESULT GetMoniker(uint32_t, uint32_t, plat::IMoniker** out) override;
    plat::HRESULT InitFromData(plat::IDataObject*, plat::BOOL, uint32_t) override { return plat::E_NOTIMPL; }
    plat::HRESULT GetClipboardData(uint32_t, plat::IDataObject** out) override;
    // Verb 1, "Properties...", starts the designer (designer_link.cpp); the
    // activation verbs make the window inside `parent` at `pos`.
    plat::HRESULT DoVerb(int32_t verb, plat::MSG* msg, plat::IOleClientSite* active_site, int32_t lindex,
                         plat::HWND parent, const plat::RECT* pos) override;
    plat::HRESULT EnumVerbs(plat::IEnumOLEVERB** out) override;
    plat::HRESULT Update() override { return plat::S_OK; }
    plat::HRESULT IsUpToDate() override { return plat::S_OK; }
    plat::HRESULT GetUserClassID(plat::CLSID* out) override { return GetClassID(out); }
    plat::HRESULT GetUserType(uint32_t form, plat::OLECHAR** out) override;
    plat::HRESULT SetExtent(uint32_t aspect, plat::SIZEL* size) override;
    plat::HRESULT GetExtent(uint32_t aspect, plat::SIZEL* size) override;
    plat::HRESULT Advise(plat::IAdviseSink* sink, uint32_t* cookie) override;
    plat::HRESULT Unadvise(uint32_t cookie) override;
    plat::HRESULT EnumAdvise(plat::IEnumSTATDATA** out) override;
    plat::HRESULT GetMiscStatus(uint32_t aspect, uint32_t* status) override;
    plat::HRESULT SetColorScheme(plat::LOGPALETTE*) override { return plat::E_NOTIMPL; }

    // ---- IOleControl ----
    plat::HRESULT GetControlInfo(plat::CONTROLINFO* info) override;
    plat::HRESULT OnMnemonic(plat::MSG*) override { return plat::E_NOTIMPL; }
    plat::HRESULT OnAmbientPropertyChange(plat::DISPID id) override;
    plat::HRESULT FreezeEvents(plat::BOOL) override { return plat::S_OK; }

    // ---- IOleInPlaceObject ----
    plat::HRESULT GetWindow(plat::HWND* out) override;
    plat::HRESULT ContextSensitiveHelp(plat::BOOL) override { return plat::E_NOTIMPL; }
    plat::HRESULT InPlaceDeactivate() override;
    plat::HRESULT UIDeactivate() override { return plat::S_OK; }
    plat::HRESULT SetObjectRects(const plat::RECT* pos, const plat::RECT* clip) override;
    plat::HRESULT ReactivateAndUndo() override { return plat::E_NOTIMPL; }

    // ---- IViewObject2 ----
    plat::HRESULT Draw(uint32_t aspect, int32_t lindex, void* aspect_info, plat::DVTARGETDEVICE* target,
                       plat::HDC target_dc, plat::HDC draw_dc, const plat::RECTL* bounds, const plat::RECTL* wbounds,
                       plat::BOOL (*keep_going)(uintptr_t), uintptr_t keep_going_arg) override;
    plat::HRESULT GetColorSet(uint32_t aspect, int32_t lindex, void* aspect_info, plat::DVTARGETDEVICE* target,
                              plat::HDC target_dc, plat::LOGPALETTE** out) override;
    plat::HRESULT Freeze(uint32_t aspect, int32_t lindex, void* aspect_info, uint32_t* cookie) override;
    plat::HRESULT Unfreeze(uint32_t cookie) override;
    plat::HRESULT SetAdvise(uint32_t aspects, uint32_t flags, plat::IAdviseSink* sink) override;
    plat::HRESULT GetAdvise(uint32_t* aspects, uint32_t* flags, plat::IAdviseSink** out) override;
    plat::HRESULT GetExtent(uint32_t aspect, int32_t lindex, plat::DVTARGETDEVICE* target,
                            plat::SIZEL* size) override;

    // ---- IPersistStreamInit and IPersistPropertyBag ----
    plat::HRESULT GetClassID(plat::CLSID* out) override;
    plat::HRESULT IsDirty() override { return m_dirty ? plat::S_OK : plat::S_FALSE; }
    plat::HRESULT Load(plat::IStream* stream) override;
    plat::HRESULT Save(plat::IStream* stream, plat::BOOL clear_dirty) override;
    plat::HRESULT GetSizeMax(uint64_t*) override { return plat::E_NOTIMPL; }
    plat::HRESULT InitNew() override;
    plat::HRESULT Load(plat::IPropertyBag* bag, plat::IErrorLog* log) override;
    plat::HRESULT Save(plat::IPropertyBag* bag, plat::BOOL clear_dirty, plat::BOOL save_all) override;

    // ---- IControlSite ----
    plat::ComPtr<plat::IUnknown> ClientSite() override;

    // ---- IPersistTarget ----
    plat::Variant Get(const PersistedProperty& p) override;
    void Apply(const PersistedProperty& p, const plat::Variant& value) override;
    int32_t ToContainerUnits(int32_t pixels, bool horizontal) override;
    int32_t FromContainerUnits(int32_t units, bool horizontal) override;
    uint32_t WindowFrameColor() override { return 0x80000006; }
    CAttrSet* DefaultItemCellDef() override { return m_defCell.get(); }

    // ---- IVincaOwner ----
    void ReportError(VResult code) override;
    // The engine's event slots (events.cpp).
    bool RequestExpand(int32_t index) override;
    bool RequestCollapse(int32_t index) override;
    void ItemCollapsedByAncestor(int32_t index) override;
    void ItemQueryData(int32_t index, int32_t childIndex) override;

    // The control's whole state in a data file of its own (0 on success).
    int16_t SaveData(const std::string& path);
    int16_t LoadData(const std::string& path);

    // ---- what the member handlers use ----
    CVincaEngine& Engine() { return m_engine; }
    // The item of an index (381 raised when there is none, -1 included).
    CItem* Item(int32_t index);
    // The item of an index, or null without an error (the neutral lookups).
    CItem* ItemOrNull(int32_t index);
    // Notes the item at a tree-order position, so that the next call for the
    // same position finds it at once while the tree keeps its shape (the
    // designer reads NewIndex and then addresses that item).
    void Remember(int32_t index, CItem* item);
    // The tree-order index of an item when it is the one remembered, else -1.
    int32_t RecallIndex(CItem* item);
    // The number of items while the tree keeps its shape (-1 when unknown),
    // and an item appended as the new last one in tree order: the count
    // and the item's index follow without a walk.
    int32_t FreshCount();
    // `epochBefore`: the tree's epoch when the count was read; positions
    // noted then stay right, as nothing before the new item moved.
    void NoteAppendedLast(CItem* item, int32_t countBefore, uint64_t epochBefore);
    // Raises what the engine reported during the last call, after releasing
    // every drawing suspension.
    void RaisePending();
    // Raises `code` (when not 0) the same way.
    void Raise(VResult code);
    void ClearPending() { m_pending = VE_OK; }

    // Simple property values, kept by member number.
    const plat::Variant& Prop(plat::DISPID id) const;
    void StoreProp(plat::DISPID id, const plat::Variant& value);
    void MarkModified() {
        ++m_layoutChanges;
        if (!m_exchanging) m_dirty = true;
    }
    void RequestRefresh(int32_t flags, int32_t code);
    // Counts what may lay the rows out anew: a modification, a refresh
    // asked for, a change of the tree. Printed pages laid out before a
    // change are stale.
    uint64_t LayoutChanges() const { return m_layoutChanges + m_engine.Updates(); }
    // Applies what was asked while Redraw was off, once it is on again.
    void FlushRefresh();
    // The engine's side of a few properties the model reads itself.
    void SyncEngine(plat::DISPID id);

    // The default item cell definition's members (178-181, 195, 202); a set
    // answers whether anything changed.
    plat::Variant DefCellGet(plat::DISPID id);
    bool DefCellSet(plat::DISPID id, const plat::Variant& value);

    // The settings the control's defaults answer from, as they are now.
    ControlDefaultValues DefaultValues();

    // Sizes: the container's units and pixels.
    double ToPixels(double value, bool horizontal);
    double FromPixels(double pixels, bool horizontal);
    // Twips in and out of the container's units (item heights).
    double ContainerToTwips(double value, bool horizontal) { return ToPixels(value, horizontal) * 15.0; }
    double TwipsToContainer(double twips, bool horizontal) { return FromPixels(twips / 15.0, horizontal); }
    // Twips, whatever the container's units, to pixels of the screen.
    static double TwipsToPixels(double twips);

    // Drawing suspension (Redraw).
    int32_t RedrawCount() const { return m_redrawOff; }
    void SuspendRedraw() {
        if (m_redrawOff++ == 0 && m_view) m_view->HoldRows(true);
    }
    void ResumeRedraw() {
        if (m_redrawOff > 0 && --m_redrawOff == 0) {
            if (m_view) m_view->HoldRows(false);
            FlushRefresh();
        }
    }
    void ReleaseRedraw() {
        if (std::exchange(m_redrawOff, 0) > 0 && m_view) m_view->HoldRows(false);
        FlushRefresh();
    }

    bool UserMode() const { return user_mode(); }
    plat::ComPtr<plat::IDispatch> ExtendedControl();

    // Lays the item's row out again and repaints it (its looks changed).
    void RefreshItemRow(CItem* item);

    // The picture list: entry n is the picture of mark n; empty while no
    // mark picture was set. Tags of the marks beside it.
    std::vector<plat::Variant>& MarkPictures() { return m_markPictures; }
    std::map<int32_t, std::string>& MarkTags() { return m_markTags; }

    // The control's own grid (the tree grid): made on request, dropped.
    CTreeGrid* OwnGrid() const { return m_grid.get(); }
    void SetHasGrid(bool on);

    // The level list (made on request; null when not made).
    CLevelDefs* LevelDefs(bool make);

    // What the automation objects hold of the control.
    const ControlLink& Link() const { return m_link; }

    // The conversion register of CoerceIndex.
    Ref<CItem> m_coerced;
    // The view's interface (null without a window).
    IControlView* m_view{nullptr};
    // The window side; its window number is 0 until a container activates it.
    CControlWindow& Window() { return *m_window; }
    uint32_t WindowHandle() const;
    // In-place editing of an item's text (window.cpp): 0 cancels, 1
    // commits, 2 starts; 20117 without a window.
    VResult EditItemText(CItem* item, int32_t action);

    // ---- printing ----
    // The report engine, made on request (printing.cpp); it goes with the
    // control, and with it any printer it opened.
    std::shared_ptr<CReportEngine> m_report;

    // ---- events ----
    CControlEvents& Events() { return *m_events; }
    // The engine's flags word (0x200 while Expand or Collapse is fired).
    uint32_t m_engineFlags{0};

    // ---- web links ----
    // The navigator, made on first use (web.cpp).
    CWebNavigator& Web();
    std::shared_ptr<CWebNavigator> m_web;

    // ---- the designer link ----
    // Made on the first launch (designer_link.cpp); a run still going when
    // the control goes ends with it.
    CDesignerLink& Designer();
    std::shared_ptr<CDesignerLink> m_designer;

  protected:
    bool user_mode() const override;
    plat::HRESULT query_other(plat::REFIID iid, void** out) override;

  private:
    void ResetProperties();
    CItem* Recall(int32_t index);

    struct Memo {
        int32_t index{-1};
        uint64_t epoch{0};
        Ref<CItem> item;
    };
    // A few positions looked up lately (the designer keeps coming back to
    // the row it fills).
    std::array<Memo, 8> m_memo;
    size_t m_memoNext{0};
    Ref<CLevelDefs> m_levels;
    Ref<CTreeGrid> m_grid;
    std::vector<plat::Variant> m_markPictures;
    std::map<int32_t, std::string> m_markTags;
    int32_t m_count{-1};
    uint64_t m_countEpoch{0};
    void Exchange(plat::PropExchange& px);

    ControlLink m_link;
    CVincaEngine m_engine;
    std::unique_ptr<CControlWindow> m_window;
    std::unique_ptr<CControlEvents> m_events;
    Ref<CAttrSet> m_defCell;
    std::map<plat::DISPID, plat::Variant> m_props;
    plat::ComPtr<plat::IOleClientSite> m_site;
    // Who hears of changes of the object and of its view (one each).
    plat::ComPtr<plat::IAdviseSink> m_oleAdvise;
    plat::ComPtr<plat::IAdviseSink> m_viewAdvise;
    uint32_t m_viewAdviseAspects{0};
    uint32_t m_viewAdviseFlags{0};
    // Open Freeze calls of the view: each holds the drawing as it is.
    std::vector<uint32_t> m_viewFreezes;
    uint32_t m_nextFreeze{0};
    // The site's run mode, read on first use after the site is set or the
    // container announces a change of it; every call consults it, and asking
    // the site each time is a call of its own.
    mutable bool m_userModeKnown{false};
    mutable bool m_userMode{true};
    plat::SIZEL m_extent;
    VResult m_pending{VE_OK};
    int32_t m_redrawOff{0};
    // Refresh flags asked for while Redraw was off, applied when it comes back.
    int32_t m_refreshPending{0};
    bool m_dirty{false};
    uint64_t m_layoutChanges{0};
    bool m_loading{false};
    bool m_exchanging{false};
};

} // namespace vinca
