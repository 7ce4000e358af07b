#pragma once
// The designer's own pictures: small drawings compiled into the program,
// named by their file under pictures/ without the extension ("save",
// "install_group", ...).
#include <cstdint>
#include <string_view>

#include <QIcon>
#include <QImage>

namespace kld::ui {

// The picture drawn at size x size pixels on a transparent background; a
// null image for a name the program has no picture of.
QImage RenderPicture(std::string_view name, int size);

// The picture as a button icon, drawn for 16 and 32 pixels; a disabled
// button greys it. A null icon for an unknown name.
QIcon PictureIcon(std::string_view name);

// The picture an action list item of that kind shows (the kinds of
// kld::picture); null for a kind outside them.
const char* OperationPictureName(int32_t kind);

} // namespace kld::ui
