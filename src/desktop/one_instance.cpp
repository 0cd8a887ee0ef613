#include "desktop/one_instance.h"

#include "platform/folders.h"
#include "platform/textcodec.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace zeph::desk {

namespace {

// A mutex name as a file name: "/" and "%" escaped.
std::string fileNameOf(const std::string& name)
{
    std::string out;
    for (char c : name) {
        if (c == '/') out += "%2F";
        else if (c == '%') out += "%25";
        else out += c;
    }
    return out;
}

int openLock(const std::string& path)
{
    return ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
}

}  // namespace

TOneInstance::~TOneInstance()
{
    if (listener_ >= 0) {
        ::close(listener_);
        ::unlink(socketPath().c_str());
    }
    if (defaultLock_ >= 0) ::close(defaultLock_);
}

std::string TOneInstance::baseName() const
{
    std::string base = ExeNameAsIdentifier ? text::toUpper(folders::programPath()) : title_;
    base += Identifier + ".OneInstance.";
    for (char& c : base)
        if (c == '\\') c = '/';
    return base;
}

std::string TOneInstance::lockPath(const std::string& mutexName) { return folders::runtimeDir() + fileNameOf(mutexName) + ".lock"; }

std::string TOneInstance::socketPath() const
{
    return folders::runtimeDir() + fileNameOf(mutexName("Default")) + ".sock";
}

bool TOneInstance::IsAnotherRunning()
{
    if (defaultLock_ >= 0) return false;  // this process holds it already
    int critical = openLock(lockPath(mutexName("CriticalSection")));
    if (critical < 0) return true;
    if (flock(critical, LOCK_EX | LOCK_NB) != 0) {  // another copy is in the middle of its check
        ::close(critical);
        return true;
    }
    bool another = true;
    int def = openLock(lockPath(mutexName("Default")));
    if (def >= 0 && flock(def, LOCK_EX | LOCK_NB) == 0) {
        defaultLock_ = def;
        another = false;
    } else if (def >= 0) {
        ::close(def);
    }
    flock(critical, LOCK_UN);
    ::close(critical);
    return another;
}

bool TOneInstance::SendFrontRequest() const
{
    std::string path = socketPath();
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (path.size() >= sizeof addr.sun_path) return false;
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    int s = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (s < 0) return false;
    bool ok = ::connect(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
              ::send(s, "front\n", 6, MSG_NOSIGNAL) == 6;
    ::close(s);
    return ok;
}

int TOneInstance::ListenForFrontRequests()
{
    if (listener_ >= 0) return listener_;
    std::string path = socketPath();
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (path.size() >= sizeof addr.sun_path) return -1;
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    int s = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (s < 0) return -1;
    ::unlink(path.c_str());  // only the holder of the lock gets here: any socket there is stale
    if (::bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(s, 8) != 0) {
        ::close(s);
        return -1;
    }
    listener_ = s;
    return listener_;
}

bool TOneInstance::TakeFrontRequests()
{
    if (listener_ < 0) return false;
    bool any = false;
    // A connection is the request itself: nothing it says changes what is done.
    for (int c; (c = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC)) >= 0 || errno == EINTR;) {
        if (c < 0) continue;
        ::close(c);
        any = true;
    }
    return any;
}

bool TOneInstance::Check(Prompter* prompter)
{
    if (!IsAnotherRunning()) return false;
    bool terminate = true;
    if (ShowMessage) {
        if (OnShowMessage) OnShowMessage(*this, terminate);
        else if (prompter)
            prompter->message(title_, Message.empty() ? "Application \"" + title_ + "\" is already running." : Message,
                              Icon::Warning, Buttons::Ok);
    }
    if (ActivatePrevInstance) SendFrontRequest();
    return terminate;
}

}  // namespace zeph::desk
