#pragma once
// The client's own pictures, and how windows find their controls by the
// numbers the pages and dialogs have always used.
#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <QString>
#include <QWidget>

#include "platform/ui/image_strip.h"

namespace klc {

// Magenta marks what the strips leave transparent.
inline const QColor kStripMask{0xFF, 0x00, 0xFF};
// An update's bitmap icon leaves white transparent.
inline const QColor kBitmapIconMask{0xFF, 0xFF, 0xFF};

QPixmap PagePicture();                  // 154: the picture left of every page
plat::ui::ImageStrip AnimationFrames(); // 160: 33 frames
plat::ui::ImageStrip StateImages();     // 135: none, checked, unchecked, partial
plat::ui::ImageStrip ItemImages();      // 136: the tree's 8 item images
QIcon AppIcon();                        // 128

// Controls carry their numbers as object names ("c1054").
QString ControlName(int id);
void SetControlId(QWidget* w, int id);
template <class W> W* FindControl(const QWidget* root, int id) {
    return root->findChild<W*>(ControlName(id));
}

// Texts of the string table as Qt text.
QString ClientText(int id);

} // namespace klc
