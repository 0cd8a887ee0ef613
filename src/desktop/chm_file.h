// Reading a compiled HTML help file (.chm) with chmlib: its topics, the map from context
// numbers to topics, and the text pop-ups. What the help window of this platform shows.
#pragma once

#include "desktop/help_bridge.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

struct chmFile;

namespace zeph::desk {

class TChmFile {
public:
    // nullptr when the file is missing or not a compiled help file.
    static std::unique_ptr<TChmFile> open(const std::string& path);
    ~TChmFile();

    // An object by its path inside the file ("/intro.htm"); nullopt when missing or too big.
    std::optional<std::string> read(const std::string& objectPath) const;
    std::vector<std::string> objects() const;
    // "/topic.htm" of a context number from the alias map; "" when it has none.
    std::string topicOfContext(uint32_t context) const;
    std::string defaultTopic() const;  // "" when the file names none
    std::string title() const;
    // The text of ".topic <context>" in a text pop-up file inside the help file.
    std::optional<std::string> popupText(const std::string& topicsObject, uint32_t context) const;
    // The first page whose title contains the keyword (without regard to case); "" when none.
    std::string topicOfKeyword(const std::string& keyword) const;

private:
    explicit TChmFile(chmFile* h) : h_(h) {}
    std::optional<std::string> systemEntry(uint16_t code) const;
    chmFile* h_;
};

// What the help window shows for a viewer command.
struct HelpPage {
    std::string chmPath;    // the help file on disk
    std::string topic;      // object path inside it, "" for a text pop-up
    std::string popupText;  // text of a pop-up
    HelpPoint popupAt;
    std::string error;      // a Czech message when nothing can be shown
    bool closeAll = false;
};

// Resolves a command of the HTML help viewer (file as the bridge hands it, possibly with
// "::/CSHelp.txt" appended) into a page of the help file.
HelpPage resolveHelpPage(const std::string& file, unsigned command, const HelpData& data, const HHPopup* popup);

}  // namespace zeph::desk
