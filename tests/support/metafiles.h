#pragma once
// Small metafiles built byte by byte, for tests that load them as pictures.
#include <string>

namespace kltest {

// A placeable metafile of 100 x 50 pixels whose window (200 x 100 units)
// holds a red square on the left and a blue ellipse on the right.
std::string RedSquareBlueEllipseWmf();
// The same picture as an enhanced metafile (bounds 100 x 50 units).
std::string RedSquareBlueEllipseEmf();

} // namespace kltest
