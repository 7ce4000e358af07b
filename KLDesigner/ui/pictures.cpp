#include "KLDesigner/ui/pictures.h"

#include <QFile>
#include <QPainter>
#include <QSvgRenderer>

#include "KLDesigner/bridge/action_display.h"

static void InitDesignerPictures() {
    Q_INIT_RESOURCE(designer_pictures);
}

namespace kld::ui {

namespace {

QString ResourcePath(std::string_view name) {
    static const bool loaded = [] {
        InitDesignerPictures();
        return true;
    }();
    (void)loaded;
    return QStringLiteral(":/designer/pictures/") + QString::fromUtf8(name.data(), qsizetype(name.size())) +
           QStringLiteral(".svg");
}

} // namespace

QImage RenderPicture(std::string_view name, int size) {
    const QString path = ResourcePath(name);
    if (name.empty() || size <= 0 || !QFile::exists(path)) return {};
    QSvgRenderer svg(path);
    if (!svg.isValid()) return {};
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    svg.render(&p);
    return image;
}

QIcon PictureIcon(std::string_view name) {
    QIcon icon;
    for (int size : {16, 32}) {
        const QImage image = RenderPicture(name, size);
        if (!image.isNull()) icon.addPixmap(QPixmap::fromImage(image));
    }
    return icon;
}

const char* OperationPictureName(int32_t kind) {
    static const char* const kNames[picture::Count] = {
        "install_group", "execute_group", "create_registry_group", "delete_registry_group",
        "file",          "file_mask",     "registry_text",         "registry_long",
    };
    return kind >= 0 && kind < picture::Count ? kNames[kind] : nullptr;
}

} // namespace kld::ui
