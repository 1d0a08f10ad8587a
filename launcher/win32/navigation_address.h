#pragma once
// What the WebBrowser control is asked to load for an address handed to Navigate.
#include <string>

namespace sorvanta::windows {

// An absolute file path (a drive letter and a separator, or \\server) becomes a file URL by the
// shell's own conversion, so that '#', '%' and blanks in folder names stay part of the path; its
// forward slashes count as backslashes and a doubled separator (the start page's slash after a
// drive root) as one. Anything else (a URL) goes unchanged. Throws RunError when the shell refuses.
std::wstring navigation_address(const std::string& address);

}  // namespace sorvanta::windows
