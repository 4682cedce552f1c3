#pragma once

#include <QImage>
#include <QString>

// Images by name: ":/images/<bundle>/<name>.png" or ".svg" from the
// resources of the library that owns the bundle.
namespace platform::gui {

// The image, at its own size (an SVG at its view box, drawn at twice the
// resolution so it scales down cleanly). A missing image is logged once and
// answered with a small flat placeholder, so callers always draw something.
QImage image(const QString& bundle, const QString& name);
// Whether the bundle holds an image of that name.
bool hasImage(const QString& bundle, const QString& name);

} // namespace platform::gui
