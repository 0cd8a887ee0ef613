// TOneInstance: one running copy at a time. The named mutexes are flock-ed lock files in the
// runtime folder (a copy that dies frees its lock, as an abandoned mutex is freed); the first
// copy is asked to come to the front through a local socket it listens on.
#pragma once

#include "platform/prompter.h"

#include <functional>
#include <string>

namespace zeph::desk {

class TOneInstance {
public:
    explicit TOneInstance(std::string applicationTitle) : title_(std::move(applicationTitle)) {}
    ~TOneInstance();
    TOneInstance(const TOneInstance&) = delete;
    TOneInstance& operator=(const TOneInstance&) = delete;

    bool ActivatePrevInstance = true;
    bool ExeNameAsIdentifier = false;
    std::string Identifier;
    bool ShowMessage = false;
    std::string Message;
    std::function<void(TOneInstance& sender, bool& terminate)> OnShowMessage;

    // "<title><Identifier>.OneInstance." with every backslash turned into a slash.
    std::string baseName() const;
    std::string mutexName(const char* which) const { return baseName() + which; }
    // Where a lock or the socket of a name lives in the runtime folder.
    static std::string lockPath(const std::string& mutexName);
    std::string socketPath() const;

    // Takes the "Default" lock when no other copy holds it (kept until this object goes).
    bool IsAnotherRunning();
    // The check of a starting copy: true when this copy must end (the other one was asked to
    // come to the front). prompter may be null when ShowMessage is off.
    bool Check(Prompter* prompter);

    // Asks the running copy to come to the front; false when nobody listens.
    bool SendFrontRequest() const;
    // The running copy's side: listens on the socket (a stale one left by a killed copy is
    // replaced) and gives the descriptor to watch for reading, or -1.
    int ListenForFrontRequests();
    // Takes every waiting request without blocking; true when at least one came.
    bool TakeFrontRequests();

private:
    std::string title_;
    int defaultLock_ = -1;
    int listener_ = -1;
};

}  // namespace zeph::desk
