// The texts the browser code builds: where an address points, what a
// Netscape-type browser is asked over DDE, and what the registry's icon
// entries name. No system header: the unit tests build it natively.
#pragma once

#include <cstring>
#include <string>

namespace gui {

// The browser's DDE service: its program file name without folder and
// extension; "netscape" when the path has no folder at all.
inline std::string DdeServiceName(const std::string& browser) {
  const std::size_t slash = browser.rfind('\\');
  std::string name = slash == std::string::npos ? "netscape" : browser.substr(slash + 1);
  const std::size_t dot = name.find('.');
  if (dot != std::string::npos) name.resize(dot);
  return name;
}

// An address without ":" is a file below the working directory. Addresses
// are kept whole: a cut one would open some other page.
inline std::string OpenTarget(const std::string& address, const std::string& cwd) {
  if (address.find(':') != std::string::npos) return address;
  std::string target = cwd;
  if (!target.empty() && target.back() != '\\') target += '\\';
  return target + address;
}

// WWW_Activate: the browser's last active window.
constexpr char kDdeActivateItem[] = "0xFFFFFFFF,0x0";

// WWW_OpenURL: the target in the last active window, or in a new one.
inline std::string DdeOpenItem(const std::string& target, bool new_window) {
  return "\"" + target + "\",," + (new_window ? "0x0" : "0xFFFFFFFF");
}

// The target as the browser's command line: a path with blanks would
// otherwise reach the browser as several arguments.
inline std::string CommandLineArgument(const std::string& target) {
  if (target.find(' ') == std::string::npos || (!target.empty() && target.front() == '"')) {
    return target;
  }
  return "\"" + target + "\"";
}

// A DefaultIcon value such as "C:\PROGRA~1\INTERN~1\iexplore.exe,1" names
// the program in front of its first ","; a quoted path is taken from
// inside its quotes (it may hold a comma itself).
inline std::string IconProgramPath(const std::string& value) {
  if (!value.empty() && value.front() == '"') {
    const std::size_t close = value.find('"', 1);
    return value.substr(1, close == std::string::npos ? std::string::npos : close - 1);
  }
  std::string path = value.substr(0, value.find(','));
  while (!path.empty() && path.back() == ' ') path.pop_back();
  return path;
}

// Wine marks the programs it implements itself with a signature right
// behind the DOS header of the file it puts on the disk; a real browser
// installed into the prefix has none.
inline bool IsWineBuiltinImage(const char* head, std::size_t n) {
  static const char* const kSignatures[] = {"Wine builtin DLL", "Wine placeholder DLL"};
  constexpr std::size_t kAt = 0x40;
  for (const char* sig : kSignatures) {
    const std::size_t len = std::strlen(sig);
    if (n >= kAt + len && std::memcmp(head + kAt, sig, len) == 0) return true;
  }
  return false;
}

}  // namespace gui
