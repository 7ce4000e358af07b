// Two tree-list controls side by side, each created by class id in a host
// widget: levels of items with pictures, an item grid and a selected row.
// Register libvinca5.so with klregsvr first.
//
//   klvincademo                      shows the window
//   klvincademo --screenshot a.png   saves what the screen shows, then ends
//   klvincademo --pdf a.pdf          draws the window onto a PDF page, then ends
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <QtCore/QDir>
#include <QtCore/QTemporaryDir>
#include <QtCore/QThread>
#include <QtCore/QTimer>
#include <QtGui/QGuiApplication>
#include <QtGui/QImage>
#include <QtGui/QPageSize>
#include <QtGui/QPainter>
#include <QtGui/QPdfWriter>
#include <QtGui/QScreen>
#include <QtWidgets/QApplication>
#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QStyleFactory>

#include "platform/com/dispatch_client.h"
#include "platform/com/loader.h"
#include "platform/forms/control_host.h"

using plat::Variant;

namespace {

constexpr const char* kProgId = "Vinca.Vinca.5";

// Calls report their failure on stderr and go on: a missing member shows as
// a missing detail in the picture, not as an empty window.
struct Control {
    plat::IDispatch* d;

    Variant get(const char* name, std::vector<Variant> index = {}) {
        Variant v;
        plat::CallError e;
        if (plat::FAILED(plat::dispatch_get(d, name, v, index, &e)))
            std::fprintf(stderr, "klvincademo: %s: %d %s\n", name, e.number, e.description.c_str());
        return v;
    }
    void put(const char* name, const Variant& value, std::vector<Variant> index = {}) {
        plat::CallError e;
        if (plat::FAILED(plat::dispatch_put(d, name, value, index, &e)))
            std::fprintf(stderr, "klvincademo: %s: %d %s\n", name, e.number, e.description.c_str());
    }
    Variant call(plat::IDispatch* on, const char* name, std::vector<Variant> args = {}) {
        Variant v;
        plat::CallError e;
        if (plat::FAILED(plat::dispatch_call(on, name, args, &v, &e)))
            std::fprintf(stderr, "klvincademo: %s: %d %s\n", name, e.number, e.description.c_str());
        return v;
    }
    Variant call(const char* name, std::vector<Variant> args = {}) { return call(d, name, std::move(args)); }
    // Adds an item under `parent` (-1: a root) and answers its index.
    int32_t add(const char* text, int32_t parent = -1) {
        std::vector<Variant> args{Variant(std::string_view(text))};
        if (parent >= 0) args.emplace_back(parent);
        call("AddItem", args);
        return get("NewIndex").to_i4();
    }
    Variant picture(const QString& file) {
        return call("LoadPicture", {Variant(std::string_view(file.toStdString()))});
    }
};

// A small folder and a small page, drawn here so the demo needs no files.
QString DrawPicture(const QDir& dir, const char* name, QColor fill, bool folder) {
    QImage img(16, 16, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    p.setPen(Qt::black);
    p.setBrush(fill);
    if (folder)
        p.drawRect(1, 4, 13, 9), p.drawRect(1, 2, 5, 2);
    else
        p.drawRect(3, 1, 9, 13);
    p.end();
    const QString path = dir.filePath(QString::fromUtf8(name) + ".bmp");
    img.save(path, "BMP");
    return path;
}

void Fill(Control c, const QDir& pictures, bool second) {
    c.put("PictureClosed", c.picture(DrawPicture(pictures, "closed", QColor(0xF0, 0xC0, 0x40), true)));
    c.put("PictureOpen", c.picture(DrawPicture(pictures, "open", QColor(0xFF, 0xE0, 0x80), true)));
    c.put("PictureLeaf", c.picture(DrawPicture(pictures, "leaf", QColor(0xC0, 0xE0, 0xFF), false)));
    if (!second) {
        const int32_t docs = c.add("Documents");
        const int32_t letters = c.add("Letters", docs);
        c.add("To the bank", letters);
        c.add("To the school", letters);
        const int32_t invoices = c.add("Invoices", docs);
        c.add("March", invoices);
        c.add("April", invoices);
        c.add("Pictures");
        c.add("Music");
        c.put("ExpandToLevel", Variant(int32_t(3)));
        c.put("ListIndex", Variant(int32_t(3))); // "To the school"
    } else {
        const int32_t stock = c.add("Stock");
        const int32_t shelf = c.add("Shelf A", stock);
        c.add("Screws", shelf);
        c.add("Nails", shelf);
        c.add("Shelf B", stock);
        c.put("ExpandToLevel", Variant(int32_t(3)));
        // An item grid under "Shelf A": three columns, two rows.
        c.put("ItemHasGrid", Variant::boolean(true), {Variant(shelf)});
        Variant grid = c.get("ItemGrid", {Variant(shelf)});
        if (grid.vt == plat::VT_DISPATCH && grid.pdispVal) {
            plat::IDispatch* g = grid.pdispVal;
            plat::dispatch_put(g, "Cols", Variant(int32_t(3)));
            c.call(g, "AddRow", {Variant(std::string_view("Box"))});
            c.call(g, "AddRow", {Variant(std::string_view("Crate"))});
            plat::dispatch_put(g, "Visible", Variant::boolean(true));
        }
        c.put("ListIndex", Variant(int32_t(1))); // "Shelf A"
    }
}

QImage GrabScreen(QWidget& window) {
    // On a real display the pixels come from the screen itself, as another
    // program would see them; offscreen there is no screen to read.
    if (QGuiApplication::platformName() != QLatin1String("offscreen"))
        if (QScreen* screen = window.screen()) {
            const QPoint at = window.mapToGlobal(QPoint(0, 0));
            QPixmap shot = screen->grabWindow(0, at.x(), at.y(), window.width(), window.height());
            if (!shot.isNull()) return shot.toImage();
        }
    return window.grab().toImage();
}

int Usage() {
    std::fprintf(stderr, "usage: klvincademo [--screenshot FILE.png] [--pdf FILE.pdf]\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    QString screenshot, pdf;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--screenshot") == 0 && i + 1 < argc)
            screenshot = QString::fromLocal8Bit(argv[++i]);
        else if (std::strcmp(argv[i], "--pdf") == 0 && i + 1 < argc)
            pdf = QString::fromLocal8Bit(argv[++i]);
        else
            return Usage();
    }

    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QFont font(QStringLiteral("DejaVu Sans"), 9);
    QApplication::setFont(font);

    plat::CLSID clsid{};
    if (plat::FAILED(plat::clsid_from_prog_id(kProgId, clsid))) {
        std::fprintf(
            stderr,
            "klvincademo: the tree-list control is not registered; run klregsvr on libvinca5.so first\n");
        return 1;
    }

    QWidget window;
    window.setWindowTitle(QStringLiteral("Tree-list controls"));
    auto* layout = new QHBoxLayout(&window);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->setSpacing(8);
    plat::forms::ControlHost left(&window), right(&window);
    left.setFixedSize(220, 240);
    right.setFixedSize(220, 240);
    layout->addWidget(&left);
    layout->addWidget(&right);
    window.show();

    QTemporaryDir pictures;
    plat::ComPtr<plat::IDispatch> a = left.create(clsid), b = right.create(clsid);
    if (!a || !b) {
        std::fprintf(stderr, "klvincademo: the tree-list control could not be created\n");
        return 1;
    }
    Fill({a.get()}, QDir(pictures.path()), false);
    Fill({b.get()}, QDir(pictures.path()), true);

    int status = 0;
    if (!screenshot.isEmpty() || !pdf.isEmpty()) {
        // Let the window reach the screen before it is read back.
        for (int i = 0; i < 20; ++i) {
            QApplication::processEvents();
            QThread::msleep(25);
        }
        if (!screenshot.isEmpty() && !GrabScreen(window).save(screenshot, "PNG")) {
            std::fprintf(stderr, "klvincademo: cannot write %s\n", qPrintable(screenshot));
            status = 1;
        }
        if (!pdf.isEmpty()) {
            QPdfWriter writer(pdf);
            writer.setPageSize(QPageSize(QPageSize::A4));
            writer.setResolution(96);
            QPainter painter;
            if (!painter.begin(&writer)) {
                std::fprintf(stderr, "klvincademo: cannot write %s\n", qPrintable(pdf));
                status = 1;
            } else {
                window.render(&painter);
                painter.end();
            }
        }
    } else {
        status = app.exec();
    }
    left.release();
    right.release();
    return status;
}
