#include "vinca/control/ole_formats.h"

#include <cstring>
#include <vector>

#include "platform/base/strings.h"
#include "platform/com/object.h"
#include "vinca/model/clipboard.h"

#include <QtCore/QMimeData>
#include <QtCore/QPointer>
#include <QtCore/QUrl>
#include <QtGui/QImage>

namespace vinca {

namespace {

constexpr std::string_view kRichText = "Rich Text Format";
constexpr std::string_view kOtherPrefix = "application/x-qt-windows-mime;value=\"";

void PutU32(std::string& b, uint32_t v) {
    b.append(reinterpret_cast<const char*>(&v), 4);
}

std::string MimeOfName(std::string_view name) {
    if (plat::iequals(name, kRichText)) return "text/rtf";
    if (plat::iequals(name, kTreeClipboardFormat)) return std::string(kTreeClipboardMime);
    return std::string(kOtherPrefix) + std::string(name) + "\"";
}

// The format name a MIME type stands for (empty for the standard ones).
std::string NameOfMime(const QString& mime) {
    const std::string m = mime.toStdString();
    if (m == "text/rtf") return std::string(kRichText);
    if (m == kTreeClipboardMime) return std::string(kTreeClipboardFormat);
    if (m.size() > kOtherPrefix.size() && m.compare(0, kOtherPrefix.size(), kOtherPrefix) == 0 &&
        m.back() == '"')
        return m.substr(kOtherPrefix.size(), m.size() - kOtherPrefix.size() - 1);
    return {};
}

// The local files of a URI list; other addresses are no files to drop.
std::vector<std::string> LocalFiles(const QMimeData& mime) {
    std::vector<std::string> paths;
    for (const QUrl& url : mime.urls())
        if (url.isLocalFile()) paths.push_back(url.toLocalFile().toStdString());
    return paths;
}

// A device-independent bitmap: the 40-byte header and 32-bit rows, bottom up.
std::string Dib(const QImage& source) {
    const QImage img = source.convertToFormat(QImage::Format_RGB32);
    std::string b;
    PutU32(b, 40);
    PutU32(b, static_cast<uint32_t>(img.width()));
    PutU32(b, static_cast<uint32_t>(img.height()));
    const uint16_t planes = 1, bits = 32;
    b.append(reinterpret_cast<const char*>(&planes), 2);
    b.append(reinterpret_cast<const char*>(&bits), 2);
    PutU32(b, 0); // no compression
    PutU32(b, static_cast<uint32_t>(img.width() * img.height() * 4));
    PutU32(b, 3780), PutU32(b, 3780); // 96 dpi
    PutU32(b, 0), PutU32(b, 0);
    for (int y = img.height() - 1; y >= 0; --y)
        b.append(reinterpret_cast<const char*>(img.constScanLine(y)), static_cast<size_t>(img.width()) * 4);
    return b;
}

class CMimeDataObject final : public plat::IDataObject, public plat::CountedObject {
  public:
    explicit CMimeDataObject(const QMimeData* mime) : m_mime(mime) {}

    plat::HRESULT QueryInterface(plat::REFIID iid, void** out) override {
        if (!out) return plat::E_POINTER;
        *out = nullptr;
        if (iid != plat::IID_IUnknown && iid != plat::IDataObject::kIID) return plat::E_NOINTERFACE;
        *out = static_cast<plat::IDataObject*>(this);
        AddRef();
        return plat::S_OK;
    }
    plat::ULONG AddRef() override { return add_ref(); }
    plat::ULONG Release() override { return release_ref(); }

    plat::HRESULT QueryGetData(uint32_t format) override {
        const QMimeData* m = m_mime.data();
        if (!m) return plat::S_FALSE;
        bool offered = false;
        switch (format) {
        case plat::CF_TEXT:
            offered = m->hasText();
            break;
        case plat::CF_HDROP:
            offered = !LocalFiles(*m).empty();
            break;
        case plat::CF_BITMAP:
        case plat::CF_DIB:
            offered = m->hasImage();
            break;
        default: {
            const std::string mime = Mime(format);
            offered = !mime.empty() && m->hasFormat(QString::fromStdString(mime));
        }
        }
        return offered ? plat::S_OK : plat::S_FALSE;
    }

    plat::HRESULT GetData(uint32_t format, std::string& block) override {
        block.clear();
        if (QueryGetData(format) != plat::S_OK) return plat::E_FAIL;
        const QMimeData& m = *m_mime;
        switch (format) {
        case plat::CF_TEXT:
            block = m.text().toStdString();
            block.push_back('\0');
            break;
        case plat::CF_HDROP:
            block = oleformats::FileDropBlock(LocalFiles(m));
            break;
        case plat::CF_BITMAP:
        case plat::CF_DIB:
            block = Dib(qvariant_cast<QImage>(m.imageData()));
            break;
        default: {
            const QByteArray bytes = m.data(QString::fromStdString(Mime(format)));
            block.assign(bytes.constData(), static_cast<size_t>(bytes.size()));
        }
        }
        return plat::S_OK;
    }

  private:
    // The MIME type of a registered format among those the data offers.
    std::string Mime(uint32_t format) const {
        if (format < 0xC000 || !m_mime) return {};
        for (const QString& f : m_mime->formats()) {
            const std::string name = NameOfMime(f);
            if (!name.empty() && plat::register_clipboard_format(name) == format) return f.toStdString();
        }
        return {};
    }

    QPointer<const QMimeData> m_mime;
};

} // namespace

plat::ComPtr<plat::IDataObject> MimeDataObject(const QMimeData* mime) {
    return plat::make_object<CMimeDataObject>(mime);
}

namespace oleformats {

std::string MimeTypeOf(uint32_t format) {
    switch (format) {
    case plat::CF_TEXT:
        return "text/plain";
    case plat::CF_HDROP:
        return "text/uri-list";
    case plat::CF_BITMAP:
    case plat::CF_DIB:
        return "application/x-qt-image";
    default:
        return {};
    }
}

std::string FileDropBlock(const std::vector<std::string>& paths) {
    std::string b;
    PutU32(b, 20);              // where the names start
    PutU32(b, 0), PutU32(b, 0); // drop point
    PutU32(b, 0);               // client coordinates
    PutU32(b, 1);               // wide names
    for (const std::string& p : paths) {
        const std::u16string w = plat::utf8_to_utf16(p);
        b.append(reinterpret_cast<const char*>(w.data()), w.size() * 2);
        b.append(2, '\0');
    }
    b.append(2, '\0');
    return b;
}

} // namespace oleformats

} // namespace vinca
