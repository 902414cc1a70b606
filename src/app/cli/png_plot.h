#pragma once
// How `plot` reaches the PNG drawing: the module of its own, loaded on Linux the first time it
// is needed, or the code linked in on Windows.

#include <QCoreApplication>
#include <memory>

#include "app/png/png_drawing.h"

namespace korvane::cli::png {

// The application object for `plot`: the drawing's GUI one, or a console one when the drawing
// cannot be loaded (an SVG is still drawn; writePicture then says what is missing).
std::unique_ptr<QCoreApplication> makeApplication(int& argc, char** argv);

bool writePicture(KorvanePngRequest& request);

}  // namespace korvane::cli::png
