#pragma once
// Small helpers of the view tests: images filled and read back by colour,
// pictures made from images.
#include <QtGui/QImage>
#include <string>
#include <string_view>

#include "platform/gdi/dc.h"
#include "vinca/model/names.h"
#include "vinca/model/picture.h"
#include "vinca/views/view_host.h"

namespace viewtest {

using plat::gdi::COLORREF;

// A bitmap filled with one colour.
plat::gdi::Bitmap Filled(int w, int h, COLORREF c);
COLORREF At(const plat::gdi::Bitmap& b, int x, int y);
// A picture object holding the image as PNG (or ICO) bytes.
plat::ComPtr<vinca::IVincaPicture> PictureOf(const QImage& img, const char* format = "PNG");
// Saves a screenshot of the view tests; returns its path.
std::string Save(const QImage& img, const std::string& name);
// The pixels inside `r` (clipped to the image) darker than 0x60 in every
// channel: where text and lines were drawn.
int DarkPixels(const QImage& img, const plat::gdi::Rect& r);

// Sets the item's value under `key` (a grid cell of the key's column).
void SetCell(vinca::CItem* item, const vinca::CVincaName* key, std::string_view text);

// A view host with its settings and a selection of its own.
struct SelectionHost : vinca::IViewHost {
    vinca::ViewSettings settings;
    vinca::CRangeSet selected;
    const vinca::ViewSettings& Settings() const override { return settings; }
    vinca::CRangeSet* SelectedRows() override { return &selected; }
};

} // namespace viewtest
