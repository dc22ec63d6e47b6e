#include "editor/EditorIcons.h"

#include <QFile>
#include <QHash>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>
#include <mutex>

// Resources of a static library are registered by hand, outside any namespace.
static void registerEditorIcons() {
    Q_INIT_RESOURCE(editor_icons);
}

namespace lumivane {

namespace {

const QByteArray& iconSource(const QString& name) {
    static std::once_flag registered;
    std::call_once(registered, registerEditorIcons);
    static QHash<QString, QByteArray> sources;
    auto it = sources.find(name);
    if (it == sources.end()) {
        QFile file(QStringLiteral(":/editor-icons/") + name + QStringLiteral(".svg"));
        it = sources.insert(name, file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray());
    }
    return *it;
}

} // namespace

QIcon editorIcon(const QString& name, const QColor& color, int size) {
    const QByteArray& source = iconSource(name);
    if (source.isEmpty())
        return {};
    QByteArray svg = source;
    svg.replace("currentColor", color.name(QColor::HexRgb).toLatin1());
    QSvgRenderer renderer(svg);
    const qreal dpr = 2.0;
    const QSize pixels(int(size * dpr), int(size * dpr));
    // Drawn opaque, then laid down at the colour's alpha, so overlapping strokes do
    // not darken where they cross.
    QPixmap opaque(pixels);
    opaque.fill(Qt::transparent);
    {
        QPainter p(&opaque);
        p.setRenderHint(QPainter::Antialiasing);
        renderer.render(&p, QRectF(QPointF(0, 0), QSizeF(pixels)));
    }
    QPixmap pm(pixels);
    pm.fill(Qt::transparent);
    {
        QPainter p(&pm);
        p.setOpacity(color.alphaF());
        p.drawPixmap(0, 0, opaque);
    }
    pm.setDevicePixelRatio(dpr);
    return QIcon(pm);
}

} // namespace lumivane
