#pragma once
// The page side of the client's long operations: progress notifications and
// the questions put to the user. The wizard pages answer them with dialogs;
// tests answer them directly. Every default is the unattended answer.
#include <cstdint>
#include <string>

namespace klc {

// Notifications the pages show.
enum PageNotify : int32_t {
    NOTIFY_CONNECTING = 1,
    NOTIFY_DOWNLOADING = 2,
    NOTIFY_FILE_PROGRESS = 3,
    NOTIFY_BYTES = 4,
    NOTIFY_ESTIMATE = 5,
    NOTIFY_TOTAL = 6,
    NOTIFY_DISCONNECTING = 7,
};

// Answers to "the file is in use".
enum FileInUseAnswer : int32_t {
    IN_USE_SKIP = 0,
    IN_USE_COPY_ON_RESTART = 1,
    IN_USE_RETRY = 2,
    IN_USE_CANCEL = 3,
};

// Answers to "a backup of the file exists".
enum OverwriteAnswer : int32_t {
    OVERWRITE_NO = 0,
    OVERWRITE_TERMINATE = 1,
    OVERWRITE_YES_FOR_ALL = 2,
    OVERWRITE_YES = 3,
};

class IClientHost {
  public:
    virtual ~IClientHost() = default;

    virtual void Notify(int32_t /*code*/, const std::string& /*text*/) {}
    // Bytes of the current file and of the whole run so far.
    virtual void OnProgress(float /*fraction*/) {}
    virtual void OnBytes(int64_t /*done*/, int64_t /*total*/) {}
    virtual void ShowAdvertisement(const std::string& /*text*/) {}
    virtual void AddAdvertisementLine(const std::string& /*line*/) {}

    virtual int32_t AskFileInUse(const std::string& /*question*/) { return IN_USE_SKIP; }
    virtual int32_t AskBackupExists(const std::string& /*question*/) { return OVERWRITE_NO; }
    // True clears the read-only attribute and overwrites.
    virtual bool AskOverwriteReadOnly(const std::string& /*question*/) { return false; }
    // A step failed with the message: true goes on, false ends the run.
    virtual bool AskContinue(int32_t /*code*/, const std::string& /*message*/) { return true; }
    virtual bool AskDeleteTempFiles() { return false; }

    // An update's icon file, just downloaded: the image index the update
    // shows it with, or -1 when it could not be used (the update keeps its
    // image). Called on the worker; the file is deleted afterwards.
    virtual int32_t LoadUpdateIcon(const std::string& /*path*/) { return -1; }
};

// Restarting the machine, when files wait for copy on restart.
class IRestarter {
  public:
    virtual ~IRestarter() = default;
    virtual bool Restart() = 0;
};

// The real one: asks the service manager to reboot.
class SystemRestarter : public IRestarter {
  public:
    bool Restart() override;
};

// What the platform does at the next start: runs the client's own
// copy-on-restart batch registered under RunOnce, deleting its value first so
// that it runs once only; any other value there is never started. Returns how
// many commands were started.
int32_t RunOnceCommands();

} // namespace klc
