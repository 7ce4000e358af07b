// A stand-in for the separate designer program in tests. It takes the
// control's request "1999#<n>#<file>" as its one argument, talks to the
// handler socket "vinca-designer-<n>" beside the file and follows the script
// "stub-designer.script" beside it (a test writes it there), steps separated
// by ';' or line ends:
//   send <message> <wParam> <lParam>  one request; the answer is logged
//   raw <text>                        a line as it is (a bad request)
//   copy <path>                       the file at path replaces the data file
//   wait <path>                       waits until path exists
//   exit <code>                       ends with that code
//   die                               ends killed by a signal
// What it saw goes to "stub-designer.log" beside the file, one line each:
// "args <request>", "answer <message> <value>" or "closed <message>". Without
// a script it discards the data and ends.
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

std::string g_log;
std::string g_socket;
std::string g_file;
int g_fd = -1;

void Log(const std::string& line) {
    if (g_log.empty()) return;
    std::ofstream out(g_log, std::ios::app);
    out << line << "\n";
}

bool Connect() {
    if (g_fd >= 0) return true;
    g_fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    g_socket.copy(a.sun_path, sizeof(a.sun_path) - 1);
    if (::connect(g_fd, reinterpret_cast<sockaddr*>(&a), sizeof(a)) != 0) {
        ::close(g_fd);
        g_fd = -1;
        return false;
    }
    return true;
}

// Sends one line and waits for the answer line, as a sent message waits.
void Send(const std::string& line, const std::string& what) {
    if (!Connect()) {
        Log("closed " + what);
        return;
    }
    std::string out = line + "\n";
    ::send(g_fd, out.data(), out.size(), MSG_NOSIGNAL);
    std::string answer;
    char c = 0;
    while (::recv(g_fd, &c, 1, 0) == 1 && c != '\n')
        answer.push_back(c);
    if (c != '\n' || answer.empty()) {
        Log("closed " + what);
        ::close(g_fd);
        g_fd = -1;
        return;
    }
    Log("answer " + what + " " + answer);
}

void Step(const std::string& step) {
    std::istringstream in(step);
    std::string verb;
    in >> verb;
    std::string rest;
    std::getline(in, rest);
    if (!rest.empty() && rest.front() == ' ') rest.erase(0, 1);
    if (verb == "send") {
        std::istringstream args(rest);
        std::string message;
        args >> message;
        Send(rest, message);
    } else if (verb == "raw") {
        Send(rest, "raw");
    } else if (verb == "copy") {
        std::filesystem::copy_file(rest, g_file, std::filesystem::copy_options::overwrite_existing);
    } else if (verb == "wait") {
        for (int i = 0; i < 6000 && !std::filesystem::exists(rest); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    } else if (verb == "exit") {
        std::exit(std::atoi(rest.c_str()));
    } else if (verb == "die") {
        ::kill(::getpid(), SIGKILL);
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    const std::string request = argv[1];
    const size_t first = request.find('#');
    const size_t second = first == std::string::npos ? first : request.find('#', first + 1);
    if (second == std::string::npos) return 2;
    const std::string number = request.substr(first + 1, second - first - 1);
    g_file = request.substr(second + 1);
    const std::filesystem::path folder = std::filesystem::path(g_file).parent_path();
    g_socket = (folder / ("vinca-designer-" + number)).string();
    g_log = (folder / "stub-designer.log").string();
    Log("args " + request);

    std::string steps = "send 0x452 0 0";
    if (std::ifstream script(folder / "stub-designer.script"); script) {
        std::stringstream all;
        all << script.rdbuf();
        steps = all.str();
    }
    for (char& c : steps)
        if (c == '\n') c = ';';
    std::istringstream in(steps);
    std::string step;
    while (std::getline(in, step, ';'))
        Step(step);
    return 0;
}
