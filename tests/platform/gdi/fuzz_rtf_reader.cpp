// Rich text from outside: the reader must never crash, whatever the bytes.
#include <QtGui/QGuiApplication>
#include <QtGui/QTextDocument>
#include <cstdint>
#include <cstdlib>

#include "platform/gdi/rtf.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static int argc = 1;
    static char name[] = "fuzz";
    static char* argv[] = {name, nullptr};
    static QGuiApplication* app = [] {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        return new QGuiApplication(argc, argv);
    }();
    (void)app;
    QTextDocument doc;
    std::string_view text(reinterpret_cast<const char*>(data), size);
    if (plat::gdi::ReadRtf(text, doc)) {
        QTextDocument back;
        plat::gdi::ReadRtf(plat::gdi::WriteRtf(doc), back);
    }
    return 0;
}
