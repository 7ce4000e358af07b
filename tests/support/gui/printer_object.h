#pragma once
// A container's printer object for printing tests: "NewPage", "EndDoc" and
// "HDC" over a PDF printer, as form code hands one to a control. HDC is the
// number of its DC in the process's DC table. It counts the calls it gets.
#include <cstdint>
#include <memory>
#include <string>

#include <QtPrintSupport/QPrinter>

#include "platform/com/object.h"
#include "platform/gdi/dc.h"

namespace kltest {

class PrinterObject final : public plat::DispatchObject<PrinterObject> {
  public:
    // A PDF of letter-size pages at `dpi`, written when the document ends.
    explicit PrinterObject(const std::string& pdf, int dpi = 300);
    ~PrinterObject() override;
    static const plat::DispatchTable<PrinterObject>& dispatch_table();

    uint32_t hdc() const { return m_hdc; }
    plat::gdi::Dc& dc() { return *m_dc; }
    int new_pages() const { return m_newPages; }
    int end_docs() const { return m_endDocs; }
    // Ends the document if nobody did (the PDF is complete afterwards).
    void finish() { m_dc->EndDoc(); }

  private:
    QPrinter m_printer;
    std::unique_ptr<plat::gdi::Dc> m_dc;
    uint32_t m_hdc{0};
    int m_newPages{0};
    int m_endDocs{0};
};

} // namespace kltest
