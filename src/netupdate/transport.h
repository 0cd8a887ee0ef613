// The update engine's transport on libcurl: sessions and FTP connections behind the
// TNetUpdate::SessionHandle / ConnectionHandle, and what it tells its callers beyond the
// component's own operations (declared in netupdate.h, defined in transport.cpp).
#pragma once

#include <stdexcept>
#include <string>

namespace zeph::nu {

// The last Internet error of this thread (the library's code and text); ReportInternetError
// reports it. Code 0: nothing to report.
struct InternetError {
    int code = 0;
    std::string text;
};
InternetError LastInternetError();
void SetLastInternetError(int code, const std::string& text);

// Raised by ShowHtmlDialog when the page cannot be shown.
class HtmlDialogError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Size of the blocks of an Internet transfer and of a local copy.
inline constexpr size_t kInternetBlock = 4096;
inline constexpr size_t kLocalCopyBlock = 16384;

}  // namespace zeph::nu
