#include "client/ui/artwork.h"

#include "client/engine/errors.h"

static void InitClientResources() {
    Q_INIT_RESOURCE(client);
}

namespace klc {
namespace {

void EnsureResources() {
    static bool done = [] {
        InitClientResources();
        return true;
    }();
    (void)done;
}

} // namespace

QPixmap PagePicture() {
    EnsureResources();
    return QPixmap(QStringLiteral(":/client/bitmap154.png"));
}

plat::ui::ImageStrip AnimationFrames() {
    EnsureResources();
    return plat::ui::ImageStrip::FromResource(QStringLiteral(":/client/bitmap160.png"), 16, kStripMask);
}

plat::ui::ImageStrip StateImages() {
    EnsureResources();
    return plat::ui::ImageStrip::FromResource(QStringLiteral(":/client/bitmap135.png"), 16, kStripMask);
}

plat::ui::ImageStrip ItemImages() {
    EnsureResources();
    return plat::ui::ImageStrip::FromResource(QStringLiteral(":/client/bitmap136.png"), 16, kStripMask);
}

QIcon AppIcon() {
    EnsureResources();
    return QIcon(QStringLiteral(":/client/icon128.png"));
}

QString ControlName(int id) {
    return QStringLiteral("c%1").arg(id);
}

void SetControlId(QWidget* w, int id) {
    w->setObjectName(ControlName(id));
}

QString ClientText(int id) {
    return QString::fromStdString(LoadClientString(id).value_or(std::string()));
}

} // namespace klc
