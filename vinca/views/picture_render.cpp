#include "vinca/views/picture_render.h"

#include "vinca/views/icon_picture.h"

#include "platform/gdi/metafile_player.h"

#include <list>
#include <memory>
#include <mutex>

namespace vinca {

using namespace plat::gdi;

namespace {

struct CacheEntry {
    plat::ComPtr<IVincaPicture> picture; // keeps the key alive while cached
    std::unique_ptr<DecodedPicture> decoded;
};

// Most recently used first. Pictures live on the UI thread, but controls on
// several threads may share one, so the cache is locked.
std::mutex g_cacheLock;
std::list<CacheEntry> g_cache;

} // namespace

const DecodedPicture* DecodedOf(const CPictureHolder& holder) {
    if (holder.IsEmpty()) return nullptr;
    IVincaPicture* pic = holder.Get();
    std::lock_guard lock(g_cacheLock);
    for (auto it = g_cache.begin(); it != g_cache.end(); ++it) {
        if (it->picture.get() == pic) {
            g_cache.splice(g_cache.begin(), g_cache, it);
            return g_cache.front().decoded.get();
        }
    }
    auto decoded = DecodePicture(pic->Type(), pic->Data());
    CacheEntry e;
    e.picture = plat::ComPtr<IVincaPicture>(pic);
    if (decoded) e.decoded = std::make_unique<DecodedPicture>(std::move(*decoded));
    g_cache.push_front(std::move(e));
    while (g_cache.size() > kPictureCacheSize)
        g_cache.pop_back();
    return g_cache.front().decoded.get();
}

void ClearPictureCache() {
    std::lock_guard lock(g_cacheLock);
    g_cache.clear();
}

Size PictureHolderGetSize(const CPictureHolder& holder) {
    const DecodedPicture* d = DecodedOf(holder);
    if (!d) return {};
    int32_t dpi = ScreenPixelsPerInch();
    return {MulDiv(dpi, d->himetric.cx, 2540), MulDiv(dpi, d->himetric.cy, 2540)};
}

namespace {

void DrawIcon(const QImage& icon, Dc& dc, const Rect& rect, uint32_t rop) {
    // The mask is the alpha channel, so inverting spares transparent pixels.
    QImage img = icon;
    if (rop == NOTSRCCOPY) img.invertPixels(QImage::InvertRgb);
    dc.DrawImage(rect, img, SRCCOPY);
}

// A metafile played straight into the rectangle: its window is mapped
// onto the rectangle's size (anisotropically), not a bitmap stretched.
void DrawMetafile(const CPictureHolder& holder, const DecodedPicture& d, Dc& dc, const Rect& rect, uint32_t rop) {
    QImage img = plat::gdi::PlayMetafile(d.kind, holder.Get()->Data(), rect.Width(), rect.Height());
    if (img.isNull()) return;
    if (rop == NOTSRCCOPY) img.invertPixels(QImage::InvertRgb);
    dc.DrawImage(rect, img, SRCCOPY);
}

} // namespace

int32_t RenderToScreen(const CPictureHolder& holder, Dc& dc, const Rect& rect, uint32_t rop,
                       bool copyBackground, Transparency transparency) {
    if (holder.IsEmpty()) return 0;
    if (rect.IsEmpty()) return 1;
    const DecodedPicture* d = DecodedOf(holder);
    if (!d || d->image.isNull()) return 1;
    switch (d->kind) {
    case PIC_BITMAP:
        if (transparency.enabled)
            TransparentBlit(d->image, dc, rect, transparency.colour, rop != SRCCOPY);
        else if (d->image.hasAlphaChannel())
            DrawIcon(d->image, dc, rect, rop);
        else
            Blit(d->image, dc, rect, rop);
        break;
    case PIC_ICON:
        CIconPicture(&d->image).Draw(dc, rect, rop);
        break;
    case PIC_METAFILE:
    case PIC_ENHMETAFILE:
        DrawMetafile(holder, *d, dc, rect, rop);
        break;
    default:
        break;
    }
    (void)copyBackground;
    return 1;
}

int32_t RenderToPrinter(const CPictureHolder& holder, Dc& dc, const Rect& rect, Transparency transparency,
                        bool scaled) {
    if (holder.IsEmpty()) return 0;
    if (rect.IsEmpty()) return 1;
    const DecodedPicture* d = DecodedOf(holder);
    if (!d || d->image.isNull()) return 1;
    (void)scaled; // a page takes images at any scale; no band is needed
    if (d->kind == PIC_BITMAP && transparency.enabled)
        TransparentBlit(d->image, dc, rect, transparency.colour, false);
    else if (d->kind == PIC_BITMAP || d->kind == PIC_ICON)
        dc.DrawImage(rect, d->image, SRCCOPY);
    else if (d->kind == PIC_METAFILE || d->kind == PIC_ENHMETAFILE)
        DrawMetafile(holder, *d, dc, rect, SRCCOPY);
    return 1;
}

plat::IDispatch* CPictureList::GetPictureDisp(size_t index) const {
    if (index >= m_items.size() || m_items[index].IsEmpty()) return nullptr;
    IVincaPicture* p = m_items[index].Get();
    p->AddRef();
    return p;
}

} // namespace vinca
