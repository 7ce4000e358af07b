#include "vinca/control/events.h"

#include "platform/com/events.h"
#include "vinca/control/control.h"

namespace vinca {

void FireControlEvent(CVincaCtrl& ctrl, plat::DISPID id, std::span<const plat::Variant> args) {
    plat::ComPtr<plat::IConnectionPointContainer> points;
    if (plat::FAILED(ctrl.QueryInterface(plat::IConnectionPointContainer::kIID, points.put_void())) ||
        !points)
        return;
    plat::ComPtr<plat::IConnectionPoint> point;
    if (plat::FAILED(points->FindConnectionPoint(IID_DVinca5Events, point.put())) || !point) return;
    if (auto* ours = dynamic_cast<plat::ConnectionPoint*>(point.get())) ours->fire(id, args);
}

} // namespace vinca
