#include "vinca/control/designer_link.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <vector>

#include "platform/base/strings.h"
#include "platform/config/registry.h"
#include "platform/sys/files.h"
#include "platform/sys/paths.h"
#include "platform/sys/process.h"
#include "platform/sys/unique_fd.h"
#include "platform/ui/beep.h"
#include "platform/ui/process_prompt.h"
#include "platform/ui/window_table.h"
#include "vinca/control/control.h"
#include "vinca/control/window.h"
#include "vinca/views/view_window.h"

// Qt after the control's headers (its "slots" macro).
#include <QtCore/QPointer>
#include <QtCore/QSocketNotifier>
#include <QtWidgets/QApplication>
#include <QtWidgets/QWidget>

namespace vinca {

using plat::detail::UniqueFd;
namespace ui = plat::ui;

namespace {

constexpr int32_t kRequestCode = 1999;
constexpr const char* kChooserTitle = "Open VincaDesigner application";
// Programs here have no extension: "All Files" comes first in view.
constexpr const char* kChooserFilter = "Executable Files (*.exe)|*.exe|All Files (*)|*||";
constexpr int32_t kAllFilesFilter = 2;
constexpr const char* kDoubtfulDesigner =
    "The application you selected doesn't seem valid for working with Vinca5 control.\n"
    "Do you really wish to use it?";
// String-table entry 121.
constexpr const char* kDesignerNotFound = "Could not find VincaDesigner application.";
// Tries at a handler number of our own before a launch gives up.
constexpr int kHandlerTries = 8;

bool IsDesignerName(const std::string& path) {
    const std::string name = plat::file_name(path);
    return plat::iequals(name, "VincaDesign5.exe") || plat::iequals(name, "VincaDesign5");
}

sockaddr_un SocketAddress(const std::string& path) {
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    path.copy(a.sun_path, sizeof(a.sun_path) - 1);
    return a;
}

// A socket left by a handler that is gone (ours, nobody listening) is
// removed; anything else at that path stays.
bool RemoveStaleSocket(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return errno == ENOENT;
    if (!S_ISSOCK(st.st_mode) || st.st_uid != ::geteuid()) return false;
    UniqueFd probe(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!probe.valid()) return false;
    sockaddr_un a = SocketAddress(path);
    if (::connect(probe.get(), reinterpret_cast<sockaddr*>(&a), sizeof(a)) == 0) return false;
    if (errno != ECONNREFUSED) return false;
    return ::unlink(path.c_str()) == 0;
}

// "<message> <wParam> <lParam>": the message in decimal or 0x hexadecimal,
// the parameters as 32-bit numbers either signed or unsigned.
bool ParseRequest(const std::string& line, uint32_t& message, int32_t& wParam, int32_t& lParam) {
    std::vector<std::string> parts = plat::split(line, ' ');
    if (parts.size() != 3) return false;
    int64_t values[3];
    for (size_t i = 0; i < 3; ++i) {
        const std::string& p = parts[i];
        if (p.empty()) return false;
        errno = 0;
        char* end = nullptr;
        long long v = std::strtoll(p.c_str(), &end, 0);
        if (errno != 0 || *end != '\0') return false;
        if (v < INT32_MIN || v > int64_t(UINT32_MAX)) return false;
        values[i] = v;
    }
    if (values[0] < 0) return false;
    message = static_cast<uint32_t>(values[0]);
    wParam = static_cast<int32_t>(static_cast<uint32_t>(values[1]));
    lParam = static_cast<int32_t>(static_cast<uint32_t>(values[2]));
    return true;
}

} // namespace

struct CDesignerLink::Impl {
    explicit Impl(CVincaCtrl& c) : ctrl(c) {}

    struct Connection {
        UniqueFd fd;
        std::unique_ptr<QSocketNotifier> notifier;
        std::string pending;
    };

    CVincaCtrl& ctrl;
    std::string path;
    bool running{false};
    std::string temp;

    // The handler: a hidden window for its number, the socket for its messages.
    std::unique_ptr<QWidget> window;
    uint32_t number{0};
    std::string socketPath;
    UniqueFd listener;
    std::unique_ptr<QSocketNotifier> listenNotifier;
    std::vector<std::unique_ptr<Connection>> connections;

    plat::Process child;
    UniqueFd childFd;
    std::unique_ptr<QSocketNotifier> childNotifier;

    // The window the designer disabled.
    QPointer<QWidget> disabled;

    ~Impl() {
        // The control is going: its window is gone already, so only the
        // window the designer disabled is enabled again.
        if (running) {
            RemoveTemp();
            if (disabled) disabled->setEnabled(true);
        }
        StopWatching();
        CloseHandler();
        if (number) ui::Windows().remove(number);
    }

    // Runs `f` with the control held: a handler may drop the container's
    // last reference, and the control (with this link) then goes only when
    // `f` has returned. Nothing may follow the call.
    template <class F> void Held(F f) {
        plat::ComPtr<plat::IDispatch> keep(static_cast<plat::IDispatch*>(&ctrl));
        f();
    }

    // ---- launch ----

    void Launch() {
        if (running) {
            ui::Beep();
            return;
        }
        if (path.empty())
            path = plat::registry().get_string(plat::Hive::LocalMachine, kDesignerKey, kDesignerPathValue);
        bool fromChooser = false;
        for (;;) {
            if (path.empty()) {
                if (!ChooseDesigner()) return;
                fromChooser = true;
            }
            if (!PrepareRequest()) return;
            const std::string request =
                std::to_string(kRequestCode) + "#" + std::to_string(number) + "#" + temp;
            if (child.start({path, request}) == plat::SysError::Success) break;
            // The file was made for this start only.
            RemoveTemp();
            ui::MessageRequest m;
            m.text = kDesignerNotFound;
            m.icon = ui::MsgIcon::Warning;
            ui::ProcessPrompt().message(m);
            path.clear();
        }
        running = true;
        Watch();
        if (fromChooser)
            plat::registry().set_string(plat::Hive::LocalMachine, kDesignerKey, kDesignerPathValue, path);
    }

    // The file chooser, and the question when the chosen program is not
    // named as the designer is. False ends the launch.
    bool ChooseDesigner() {
        ui::FileRequest r;
        r.title = kChooserTitle;
        r.filter = kChooserFilter;
        r.filter_index = kAllFilesFilter;
        r.must_exist = true;
        std::optional<std::string> chosen = ui::ProcessPrompt().choose_open_file(r);
        if (!chosen || chosen->empty()) return false;
        if (!IsDesignerName(*chosen)) {
            ui::MessageRequest q;
            q.text = kDoubtfulDesigner;
            q.icon = ui::MsgIcon::Question;
            q.buttons = ui::MsgButtons::YesNo;
            q.default_button = 1;
            if (ui::ProcessPrompt().message(q) != ui::MsgAnswer::Yes) {
                path.clear();
                return false;
            }
        }
        path = *chosen;
        return true;
    }

    // The temporary file with the control's data, and the handler beside it.
    bool PrepareRequest() {
        std::optional<std::string> file = plat::make_temp_file(plat::temp_folder(), "VNT");
        if (!file) return false;
        temp = *file;
        if (!SaveInto(temp) || !OpenHandler(plat::parent_path(temp))) {
            RemoveTemp();
            return false;
        }
        return true;
    }

    // The data is written in a folder only we can enter and then renamed
    // over the temporary file, so it is never readable by others (the file
    // keeps the 0600 it was made with) and nothing planted at its name is
    // followed.
    bool SaveInto(const std::string& target) {
        std::string folder = plat::join_path(plat::parent_path(target), "VNDXXXXXX");
        if (!::mkdtemp(folder.data())) return false;
        const std::string inner = plat::join_path(folder, "data");
        bool ok = ctrl.SaveData(inner) == 0 && ::chmod(inner.c_str(), 0600) == 0 &&
                  ::rename(inner.c_str(), target.c_str()) == 0;
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
        return ok;
    }

    void RemoveTemp() {
        if (temp.empty()) return;
        std::error_code ec;
        std::filesystem::remove(temp, ec);
        temp.clear();
    }

    // ---- the handler ----

    bool OpenHandler(const std::string& folder) {
        if (listener.valid() && plat::parent_path(socketPath) == folder) return true;
        CloseHandler();
        if (!window) {
            // Sockets are watched by the application's event loop.
            if (!qobject_cast<QApplication*>(QCoreApplication::instance())) return false;
            window = std::make_unique<QWidget>();
            window->setObjectName(QStringLiteral("VincaPro50_VincaDesignerHandlerWindow32"));
            window->setAttribute(Qt::WA_DontShowOnScreen);
            window->resize(0, 0);
            number = ui::Windows().add(window.get());
        }
        for (int tries = 0; tries < kHandlerTries; ++tries) {
            const std::string at = plat::join_path(folder, "vinca-designer-" + std::to_string(number));
            sockaddr_un a{};
            if (at.size() >= sizeof(a.sun_path)) return false;
            a = SocketAddress(at);
            UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
            if (!fd.valid()) return false;
            if (::bind(fd.get(), reinterpret_cast<sockaddr*>(&a), sizeof(a)) == 0) {
                // Nobody connects before listen(): the mode is set first.
                if (::chmod(at.c_str(), 0600) != 0 || ::listen(fd.get(), 4) != 0) {
                    ::unlink(at.c_str());
                    return false;
                }
                listener = std::move(fd);
                socketPath = at;
                listenNotifier = std::make_unique<QSocketNotifier>(listener.get(), QSocketNotifier::Read);
                QObject::connect(listenNotifier.get(), &QSocketNotifier::activated,
                                 [this] { Held([this] { Accept(); }); });
                return true;
            }
            if (errno != EADDRINUSE) return false;
            if (RemoveStaleSocket(at)) continue;
            // A live handler of another program has this number: take another.
            ui::Windows().remove(number);
            number = ui::Windows().add(window.get());
        }
        return false;
    }

    void CloseHandler() {
        connections.clear();
        listenNotifier.reset();
        if (listener.valid()) {
            listener.reset();
            ::unlink(socketPath.c_str());
        }
        socketPath.clear();
    }

    void Accept() {
        for (;;) {
            UniqueFd fd(::accept4(listener.get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
            if (!fd.valid()) return;
            // Only programs of the same user talk to the control.
            ucred cred{};
            socklen_t len = sizeof(cred);
            if (::getsockopt(fd.get(), SOL_SOCKET, SO_PEERCRED, &cred, &len) != 0 || cred.uid != ::geteuid())
                continue;
            auto c = std::make_unique<Connection>();
            c->fd = std::move(fd);
            c->notifier = std::make_unique<QSocketNotifier>(c->fd.get(), QSocketNotifier::Read);
            Connection* raw = c.get();
            QObject::connect(c->notifier.get(), &QSocketNotifier::activated,
                             [this, raw] { Held([this, raw] { Read(raw); }); });
            connections.push_back(std::move(c));
            // Lines already sent are answered at once.
            Read(raw);
            if (!listener.valid()) return;
        }
    }

    void Drop(Connection* c) {
        for (auto it = connections.begin(); it != connections.end(); ++it)
            if (it->get() == c) {
                connections.erase(it);
                return;
            }
    }

    bool Alive(Connection* c) const {
        for (const auto& p : connections)
            if (p.get() == c) return true;
        return false;
    }

    // Reads what the connection has and answers every whole line. A line
    // too long or not a request, and the end of the connection, close it.
    void Read(Connection* c) {
        char buffer[256];
        for (;;) {
            ssize_t n = ::recv(c->fd.get(), buffer, sizeof(buffer), 0);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
            if (n <= 0) {
                Drop(c);
                return;
            }
            c->pending.append(buffer, static_cast<size_t>(n));
            for (;;) {
                size_t eol = c->pending.find('\n');
                if (eol == std::string::npos) {
                    if (c->pending.size() >= kDesignerLineMax) Drop(c);
                    break;
                }
                std::string line = c->pending.substr(0, eol);
                c->pending.erase(0, eol + 1);
                if (!line.empty() && line.back() == '\r') line.pop_back();
                uint32_t message = 0;
                int32_t wParam = 0, lParam = 0;
                if (eol + 1 > kDesignerLineMax || !ParseRequest(line, message, wParam, lParam)) {
                    Drop(c);
                    return;
                }
                // Nothing more is read from it while the message is handled:
                // a handler that runs a dialog must not take the next line.
                c->notifier->setEnabled(false);
                const int32_t answer = Handle(message, wParam, lParam);
                if (!Alive(c)) return;
                c->notifier->setEnabled(true);
                const std::string reply = std::to_string(answer) + "\n";
                if (::send(c->fd.get(), reply.data(), reply.size(), MSG_NOSIGNAL) != ssize_t(reply.size())) {
                    Drop(c);
                    return;
                }
            }
            if (!Alive(c)) return;
        }
    }

    // ---- messages ----

    int32_t Handle(uint32_t message, int32_t wParam, int32_t) {
        switch (message) {
        case kDesignerFinish: {
            const int16_t status = ctrl.LoadData(temp);
            ctrl.RequestRefresh(1, 0);
            // A file that does not load stays, with the run: the designer
            // hears why and may send it again or discard it.
            if (status != 0) return status;
            EndRun();
            return 0;
        }
        case kDesignerApply: {
            const int16_t status = ctrl.LoadData(temp);
            ctrl.RequestRefresh(1, 0);
            if (status == 0) ctrl.MarkModified();
            return status;
        }
        case kDesignerDiscard:
            EndRun();
            return 0;
        case kDesignerHousekeeping:
            if (wParam == 1)
                plat::registry().delete_value(plat::Hive::LocalMachine, kDesignerKey, kDesignerPathValue);
            else if (wParam == 2)
                DisableTopWindow();
            return 0;
        default:
            return 0;
        }
    }

    void EndRun() {
        RemoveTemp();
        EnableTopWindow();
        running = false;
    }

    QWidget* TopWindow() const {
        QWidget* view = ctrl.Window().View();
        return view ? view->window() : nullptr;
    }

    void DisableTopWindow() {
        QWidget* top = TopWindow();
        if (!top) return;
        top->setEnabled(false);
        disabled = top;
    }

    void EnableTopWindow() {
        if (QWidget* top = TopWindow()) top->setEnabled(true);
        if (disabled) disabled->setEnabled(true);
        disabled = nullptr;
    }

    // ---- the started designer ----

    void Watch() {
        StopWatching();
        // The child is not reaped before this descriptor is made, so its
        // process id still names it.
        childFd.reset(static_cast<int>(::syscall(SYS_pidfd_open, child.pid(), 0)));
        if (!childFd.valid()) return;
        ::fcntl(childFd.get(), F_SETFD, FD_CLOEXEC);
        childNotifier = std::make_unique<QSocketNotifier>(childFd.get(), QSocketNotifier::Read);
        QObject::connect(childNotifier.get(), &QSocketNotifier::activated,
                         [this] { Held([this] { ChildEnded(); }); });
    }

    void StopWatching() {
        childNotifier.reset();
        childFd.reset();
    }

    void ChildEnded() {
        // What the designer sent before it ended is answered first.
        if (listener.valid()) Accept();
        for (size_t i = 0; i < connections.size();) {
            Connection* c = connections[i].get();
            Read(c);
            if (Alive(c)) ++i;
        }
        (void)child.running(); // collects the exit
        StopWatching();
        if (running) EndRun();
    }
};

CDesignerLink::CDesignerLink(CVincaCtrl& ctrl) : m(std::make_unique<Impl>(ctrl)) {}

CDesignerLink::~CDesignerLink() = default;

void CDesignerLink::Launch() {
    // A message box may let the container drop its last reference.
    m->Held([this] { m->Launch(); });
}

int32_t CDesignerLink::Handle(uint32_t message, int32_t wParam, int32_t lParam) {
    return m->Handle(message, wParam, lParam);
}

bool CDesignerLink::Running() const {
    return m->running;
}

const std::string& CDesignerLink::DesignerPath() const {
    return m->path;
}

const std::string& CDesignerLink::TempFile() const {
    return m->temp;
}

uint32_t CDesignerLink::HandlerNumber() const {
    return m->number;
}

const std::string& CDesignerLink::HandlerSocket() const {
    return m->socketPath;
}

CDesignerLink& CVincaCtrl::Designer() {
    if (!m_designer) m_designer = std::make_shared<CDesignerLink>(*this);
    return *m_designer;
}

} // namespace vinca
