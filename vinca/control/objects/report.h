#pragma once
// The report object: the control's print settings and the calls that
// prepare and print pages, over the control's report engine. Reads leave
// the engine unmade (answering -1 or 0 without one); writes and calls make
// it.
#include "platform/com/object.h"
#include "vinca/control/objects/values.h"

namespace vinca {

inline constexpr plat::IID IID_IVincaReport = plat::make_guid("9D998164-B884-11CE-8D47-444553540000");

class CReportEngine;

class COleReport final : public plat::DispatchObject<COleReport> {
  public:
    explicit COleReport(ControlLink link) : m_link(std::move(link)) {}
    static const plat::DispatchTable<COleReport>& dispatch_table();

    // The engine when it exists (and the control lives); made on `make`,
    // where a gone control raises 20126.
    CReportEngine* Engine(bool make) const;

  private:
    plat::HRESULT query_other(plat::REFIID iid, void** out) override;
    ControlLink m_link;
};

plat::Variant ReportObject(const ControlLink& link);

// Raises the error of a run's status: 20123, 20124, 20125, else 380.
void RaiseReportStatus(int32_t status);

} // namespace vinca
