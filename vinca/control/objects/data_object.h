#pragma once
// The automation view of dragged data and of the file names it carries.
// Neither is linked to a control: the data is valid while the event that
// delivered it runs, and a data object kept after it answers as if no data
// were offered.
#include <string>
#include <vector>

#include "platform/com/data_object.h"
#include "platform/com/object.h"

namespace vinca {

inline constexpr plat::IID IID_IVincaDataObject = plat::make_guid("89AA8487-5D31-11D2-A13C-0040054699BC");
inline constexpr plat::IID IID_IVincaDataObjectFiles =
    plat::make_guid("89AA8489-5D31-11D2-A13C-0040054699BC");

class COleVincaDataObject final : public plat::DispatchObject<COleVincaDataObject> {
  public:
    explicit COleVincaDataObject(plat::IDataObject* data);
    static const plat::DispatchTable<COleVincaDataObject>& dispatch_table();

    // The event that delivered the data has ended.
    void Detach() { m_data.reset(); }
    plat::IDataObject* Data() const { return m_data.get(); }

  private:
    plat::HRESULT query_other(plat::REFIID iid, void** out) override;
    plat::ComPtr<plat::IDataObject> m_data;
};

class CVincaDataObjectFiles final : public plat::DispatchObject<CVincaDataObjectFiles> {
  public:
    explicit CVincaDataObjectFiles(std::vector<std::string> names) : m_names(std::move(names)) {}
    static const plat::DispatchTable<CVincaDataObjectFiles>& dispatch_table();

  private:
    plat::HRESULT query_other(plat::REFIID iid, void** out) override;
    std::vector<std::string> m_names;
};

// Reading blocks of the standard formats; every read stays inside the
// block. A block that does not hold what its format says gives nothing.
namespace dataobj {
// The text up to the first NUL (or the block's end).
std::string TextOf(const std::string& block);
// A device-independent bitmap as the bytes of a bitmap file; empty when the
// header, the colour table or the masks do not fit in the block.
std::string BitmapFileOf(const std::string& dib);
// The names of a file-drop block, whether the files exist or not.
std::vector<std::string> FileNamesOf(const std::string& block);
} // namespace dataobj

} // namespace vinca
