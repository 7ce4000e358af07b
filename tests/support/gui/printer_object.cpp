#include "support/gui/printer_object.h"

#include <QtGui/QPageSize>

namespace kltest {

PrinterObject::PrinterObject(const std::string& pdf, int dpi) : m_printer(QPrinter::HighResolution) {
    m_printer.setOutputFormat(QPrinter::PdfFormat);
    m_printer.setOutputFileName(QString::fromStdString(pdf));
    m_printer.setPageSize(QPageSize(QPageSize::Letter));
    m_printer.setFullPage(false);
    m_printer.setResolution(dpi);
    m_dc = std::make_unique<plat::gdi::Dc>(m_printer, plat::gdi::DcKind::Printer, dpi, dpi);
    m_hdc = plat::gdi::PrinterDcs().add(m_dc.get());
}

PrinterObject::~PrinterObject() {
    plat::gdi::PrinterDcs().remove(m_hdc);
}

const plat::DispatchTable<PrinterObject>& PrinterObject::dispatch_table() {
    static const plat::DispatchTable<PrinterObject> table{
        {.id = 1,
         .name = "NewPage",
         .kind = plat::DispKind::Method,
         .type = plat::VT_EMPTY,
         .get =
             [](PrinterObject& self, plat::DispCall&) {
                 ++self.m_newPages;
                 self.m_dc->NewPage();
             }},
        {.id = 2,
         .name = "EndDoc",
         .kind = plat::DispKind::Method,
         .type = plat::VT_EMPTY,
         .get =
             [](PrinterObject& self, plat::DispCall&) {
                 ++self.m_endDocs;
                 self.m_dc->EndDoc();
             }},
        {.id = 3,
         .name = "hDC",
         .kind = plat::DispKind::Property,
         .type = plat::VT_I4,
         .get = [](PrinterObject& self,
                   plat::DispCall& c) { c.result() = plat::Variant(static_cast<int32_t>(self.m_hdc)); },
         .access = plat::kNoPut},
    };
    return table;
}

} // namespace kltest
