#pragma once
// The link to the separate visual designer. The "Properties..." verb saves
// the control's data into a temporary file and starts the designer with a
// request naming the control's handler and that file; while it works, the
// designer talks back through the handler.
//
// The handler is a Unix-domain socket "vinca-designer-<n>" in the temporary
// file's folder, n being the handler's window number sent in the request.
// The designer writes one line "<message> <wParam> <lParam>" (64 bytes at
// most) and waits for the answer line, as a sent window message waits for
// its result. The started program is watched: when it ends without
// finishing or discarding, the run ends as a discard would.
#include <cstdint>
#include <memory>
#include <string>

namespace vinca {

class CVincaCtrl;

inline constexpr int32_t kVerbProperties = 1;

// What the designer sends.
enum DesignerMessage : uint32_t {
    kDesignerFinish = 0x450,       // load the data, end the run
    kDesignerApply = 0x451,        // load the data, the designer keeps working
    kDesignerDiscard = 0x452,      // drop the data, end the run
    kDesignerHousekeeping = 0x453, // wParam 1: forget the stored path; 2: disable the top window
};

// Where the designer's path is kept, under HKEY_LOCAL_MACHINE.
inline constexpr const char* kDesignerKey = "SOFTWARE\\Marovia\\Vinca\\5.0\\VincaDesigner";
inline constexpr const char* kDesignerPathValue = "Path";
// The longest request line the handler takes, its line end included.
inline constexpr size_t kDesignerLineMax = 64;

class CDesignerLink {
  public:
    explicit CDesignerLink(CVincaCtrl& ctrl);
    // A run still going ends here: the temporary file goes and the window
    // the designer disabled is enabled again.
    ~CDesignerLink();
    CDesignerLink(const CDesignerLink&) = delete;
    CDesignerLink& operator=(const CDesignerLink&) = delete;

    // The verb: beeps while a run goes on; otherwise finds the designer
    // (stored path, registry, then the file chooser), saves the data and
    // starts it.
    void Launch();
    // One message from the designer; answers what goes back to it.
    int32_t Handle(uint32_t message, int32_t wParam, int32_t lParam);

    bool Running() const;
    const std::string& DesignerPath() const;
    const std::string& TempFile() const;
    // The handler's window number (0 before the first launch) and socket.
    uint32_t HandlerNumber() const;
    const std::string& HandlerSocket() const;

  private:
    struct Impl;
    std::unique_ptr<Impl> m;
};

} // namespace vinca
