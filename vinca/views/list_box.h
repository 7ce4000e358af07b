#pragma once
// A scrolling list of rows or columns. The list holds its items by index,
// measures each lazily through the item's cell into an extent cache, keeps
// the first and last laid-out visible item, paints and hit-tests them, and
// answers the scroller's steps: whole items along its own axis, pixels
// across it. One implementation serves both orientations; the horizontal
// list only exchanges x and y on the way in and out.
#include <algorithm>
#include <climits>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "platform/gdi/dc.h"
#include "vinca/views/cell_metrics.h"
#include "vinca/views/scroller.h"

namespace vinca {

// Maps between list coordinates (the item axis is y, relative to the
// client origin) and window coordinates.
class CAxisTransform {
  public:
    explicit CAxisTransform(bool swap) : m_swap(swap) {}
    bool Swaps() const { return m_swap; }
    Size ToList(Size s) const { return m_swap ? Size{s.cy, s.cx} : s; }
    Size ToWindow(Size s) const { return ToList(s); }
    Point ToList(Point p) const { return m_swap ? Point{p.y, p.x} : p; }
    Point ToWindow(Point p) const { return ToList(p); }
    Rect ToList(const Rect& r) const { return m_swap ? Rect{r.top, r.left, r.bottom, r.right} : r; }
    Rect ToWindow(const Rect& r) const { return ToList(r); }
    // The window axis (0 x, 1 y) that the items run along.
    int ItemAxis() const { return m_swap ? 0 : 1; }

  private:
    bool m_swap;
};

class CMVListBox : public IScrollSteps {
  public:
    static constexpr int32_t kCrossLine = 30;
    static constexpr int32_t kKeptItems = 64;
    enum : int32_t { MODE_PIXELS = 0, MODE_ITEM_STEP = 1 };

    virtual ~CMVListBox() = default;

    int32_t Count() const { return m_count; }
    int32_t TopIndex() const { return m_top; }
    int32_t LastVisible() const { return m_last; }
    int32_t Spacing() const { return m_spacing; }
    const CAxisTransform& Axis() const { return m_axis; }
    bool IsItemAxis(int axis) const { return axis == m_axis.ItemAxis(); }
    // The widest item across the item axis (the cross range), measured.
    int32_t Widest() {
        Recalc();
        return m_widest;
    }
    int32_t CrossOffset() const { return m_cross; }
    void SetCrossOffset(int32_t offset) { m_cross = std::max(0, offset); }
    // Scroll ranges along and across the items: (count - 1, widest - 1).
    int32_t ItemRange() const { return std::max(0, m_count - 1); }
    int32_t CrossRange() { return std::max(0, Widest() - 1); }

    // The client area in window coordinates; a new size lays the visible
    // items out again.
    void SetClientRect(const Rect& r);
    const Rect& GetClientRect() const { return m_client; }
    // An item's rectangle in window coordinates; empty when not laid out.
    Rect GetItemRect(int32_t index);
    // 0 not visible, 1 partly, 2 fully; a list without items answers 2.
    int32_t GetItemVisibility(int32_t index);
    // The item under a window point. Mode 1 or 3 (nearest): a point before
    // the items gives the one before the top (at least 0), past them the
    // one after the last laid-out item; mode 2 (exact): -1 off the items.
    int32_t ItemFromPoint(Point p, int32_t mode);
    // The item under a point and what its cell hit there (the rectangle in
    // window coordinates, clipped to the client area); false off the items.
    bool HitTest(Point p, CHitTestInfo& info, int32_t* index = nullptr);

    void SetUniformExtent(bool on);
    bool UniformExtent() const { return m_uniform; }
    // 0 clears; the same count measures every item again (top kept); more
    // inserts at the end, fewer removes from the end.
    void SetCount(int32_t n);
    void InsertItems(int32_t first, int32_t last);
    void RemoveItems(int32_t first, int32_t last);
    void Clear();
    // Marks items for measuring at the next layout; last -1: to the end.
    void InvalidateItems(int32_t first, int32_t last);
    // Measures what is dirty and lays out from the top item until the
    // client extent is filled (every item in measure-all mode).
    void Recalc();
    // Makes an item the top one; answers the top item afterwards (it stays
    // when the item is out of range, already the top, or the move would
    // show nothing new).
    int32_t ScrollToItem(int32_t index);
    // The top item that shows the last item whole at the end of the page.
    int32_t LastPageTop();
    // How far the items moved along their axis when the top item went from
    // `from` to `to`: the extents (and spacing) of the items between, in
    // pixels, positive when the items moved towards the start. None when
    // that is the client extent or more, or when an item between has not
    // been measured (it lay on neither page, so the move is that far too).
    std::optional<int32_t> Distance(int32_t from, int32_t to) const;
    // The laid-out measuring object of an item (null when not cached).
    CCellMetrics* ItemCell(int32_t index);
    // The first item with a measuring object in the cache for which `same`
    // answers false, in index order; -1 when there is none. Nothing is
    // measured.
    int32_t FirstCachedMismatch(const std::function<bool(int32_t index, CCellMetrics* cell)>& same) const;
    // An item's extent in window coordinates (measured when not cached).
    Size ItemExtent(int32_t index) { return m_axis.ToWindow(ExtentOf(index)); }
    // Sum of the extents (and spacing) of the items before `index`, from 0.
    int32_t OffsetOf(int32_t index);
    // How far around the laid-out items measured ones stay in the cache.
    int32_t KeptItems() const { return 4 * std::max(1, m_last - m_top + 1) + kKeptItems; }

    void Paint(Dc& dc, const Rect& clip);

    // IScrollSteps: positions are item indexes along the items and pixels
    // across them.
    int32_t Top(int axis) override { return 0; }
    int32_t Bottom(int axis) override;
    int32_t LineUp(int axis) override;
    int32_t LineDown(int axis) override;
    int32_t PageUp(int axis) override;
    int32_t PageDown(int axis) override;
    int32_t PositionForThumb(int axis, int32_t value) override;
    int32_t PageSize(int axis) override;

  protected:
    CMVListBox(bool horizontal, int32_t spacing, int32_t mode, bool measureAll)
        : m_axis(horizontal), m_spacing(spacing), m_mode(mode), m_measureAll(measureAll) {}

    // Makes and lays out the measuring object of an item; `extent` receives
    // its size in window coordinates. A null object leaves only the extent.
    virtual std::unique_ptr<CCellMetrics> MeasureItem(int32_t index, Dc& dc, Size& extent) = 0;
    // Draws an item at its rectangle (window coordinates).
    virtual void DrawItem(Dc& dc, int32_t index, const Rect& rect, bool selected, CCellMetrics* cell,
                          const Rect& clip);
    // Fills a band of the list that no item covers, or the band behind one.
    virtual void EraseBand(Dc&, const Rect&) {}
    virtual bool IsItemSelected(int32_t) { return false; }
    // The visible items were laid out again.
    virtual void ItemsMeasured() {}
    // The measuring DC; a metrics-only DC unless a subclass knows better.
    virtual Dc& MeasureDc();

    // The client extent in list coordinates.
    Size ListClient() const { return m_axis.ToList(Size{m_client.Width(), m_client.Height()}); }
    Size ExtentOf(int32_t index);
    void MarkAllDirty() { InvalidateItems(0, -1); }
    // The measuring object in the cache (nothing is measured or laid out).
    CCellMetrics* CachedCell(int32_t index) const {
        const auto it = m_cache.find(index);
        return it != m_cache.end() ? it->second.cell.get() : nullptr;
    }
    bool IsCached(int32_t index) const { return m_cache.count(index) != 0; }
    size_t CachedCount() const { return m_cache.size(); }

  private:
    struct Entry {
        Size extent; // in list coordinates
        std::unique_ptr<CCellMetrics> cell;
    };
    void ResetDirty() {
        m_dirtyFirst = INT_MAX;
        m_dirtyLast = -1;
        m_allDirty = false;
    }
    bool IsDirty(int32_t i) const { return i >= m_dirtyFirst && i <= m_dirtyLast; }
    const Entry* Measure(int32_t index);
    // Start of item `index` along the item axis, relative to the client
    // origin; only for laid-out items.
    int32_t PosOf(int32_t index) const { return m_pos[size_t(index - m_top)]; }

    CAxisTransform m_axis;
    int32_t m_count{0};
    std::map<int32_t, Entry> m_cache;
    int32_t m_spacing;
    bool m_uniform{false};
    int32_t m_uniformExtent{0};
    int32_t m_dirtyFirst{INT_MAX};
    int32_t m_dirtyLast{-1};
    bool m_allDirty{false};
    bool m_layoutValid{false};
    int32_t m_mode;
    bool m_measureAll;
    int32_t m_widest{0};
    int32_t m_cross{0};
    Rect m_client;
    int32_t m_top{-1};
    int32_t m_last{-1};
    std::vector<int32_t> m_pos; // starts of m_top..m_last
    std::unique_ptr<Dc> m_metricsDc;
};

class CMVVerticalListBox : public CMVListBox {
  protected:
    explicit CMVVerticalListBox(int32_t spacing = 0, int32_t mode = MODE_ITEM_STEP, bool measureAll = false)
        : CMVListBox(false, spacing, mode, measureAll) {}
};

class CMVHorizontalListBox : public CMVListBox {
  protected:
    explicit CMVHorizontalListBox(int32_t spacing = 0, int32_t mode = MODE_ITEM_STEP, bool measureAll = false)
        : CMVListBox(true, spacing, mode, measureAll) {}
};

} // namespace vinca
