#include "check/prune.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "projects/project.h"
#include "util/file.h"

std::string PruneProjectText(const std::string& text, const std::set<std::string>& gone,
                             std::size_t* dropped) {
  std::string out;
  out.reserve(text.size());
  *dropped = 0;
  bool body = false;
  std::size_t from = 0;
  while (from < text.size()) {
    std::size_t to = text.find('\n', from);
    to = to == std::string::npos ? text.size() : to + 1;
    const std::string line = text.substr(from, to - from);
    from = to;
    if (!body) {
      body = line.compare(0, 5, "BODY=") == 0;
    } else if (!gone.empty()) {
      const std::optional<std::string> location = HitLineLocation(line);
      if (location && gone.count(*location)) {
        ++*dropped;
        continue;
      }
    }
    out += line;
  }
  return out;
}

bool PruneProjectFile(const std::string& path, const std::set<std::string>& gone,
                      std::size_t* dropped, std::string* error) {
  *dropped = 0;
  FileHandle f = FileOpenRead(path.c_str());
  if (!f) {
    *error = "cannot read '" + path + "' again";
    return false;
  }
  std::string text;
  char chunk[65536];
  std::size_t n = 0;
  while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) text.append(chunk, n);
  const bool read_ok = !std::ferror(f);
  FileClose(f);
  if (!read_ok) {
    *error = "cannot read '" + path + "' again";
    return false;
  }
  const std::string pruned = PruneProjectText(text, gone, dropped);
  if (*dropped == 0) return true;
  const std::string part = path + ".part";
  FileWriter w(part);
  w.Write(pruned);
  std::error_code ec;
  if (!w.Close()) {
    std::filesystem::remove(part, ec);
    *error = "cannot write '" + part + "'";
    return false;
  }
  std::filesystem::rename(part, path, ec);
  if (ec) {
    std::filesystem::remove(part, ec);
    *error = "cannot replace '" + path + "'";
    return false;
  }
  return true;
}
