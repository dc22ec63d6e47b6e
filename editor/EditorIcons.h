#pragma once
#include <QColor>
#include <QIcon>
#include <QString>

namespace lumivane {

// The editor's symbols: SVG files (data/editor-icons/NAME.svg, compiled in) drawn in
// `currentColor`, rendered here in `color` at `size` points (twice the pixels, for
// sharp edges on scaled screens). An unknown name gives an empty icon.
QIcon editorIcon(const QString& name, const QColor& color, int size = 18);

} // namespace lumivane
