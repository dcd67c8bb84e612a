#include "util/file.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <utility>

#include "util/text.h"

FileHandle FileOpenRead(const char* path) {
  if (!path) return nullptr;
  // Asked before opening: opening a pipe would already block.
  std::error_code ec;
  if (!std::filesystem::is_regular_file(std::filesystem::path(path), ec)) return nullptr;
  return std::fopen(path, "rb");
}

FileHandle FileCreate(const char* path) {
  return path ? std::fopen(path, "wb") : nullptr;
}

void FileClose(FileHandle f) {
  if (f) std::fclose(f);
}

int FileExists(const char* path) {
  FileHandle f = FileOpenRead(path);
  if (!f) return 0;
  FileClose(f);
  return 1;
}

int DeleteFileAt(const char* path) {
  return path && std::remove(path) == 0 ? 1 : 0;
}

int ReadLine(char* buffer, int limit, FileHandle f) {
  if (!f || !buffer || limit < 1) return 0;
  const int chunk = limit < 256 ? limit : 256;
  buffer[0] = '\0';
  int stored = 0;
  while (stored + chunk <= limit && stored < limit) {
    char* at = buffer + stored;
    std::size_t got = std::fread(at, 1, static_cast<std::size_t>(chunk), f);
    if (got == 0) {
      if (std::ferror(f)) return 0;
      break;
    }
    at[got] = '\0';
    // A NUL byte at the start of a line is dropped.
    if (buffer[0] == '\0') {
      std::memmove(buffer, buffer + 1, static_cast<std::size_t>(stored) + got);
      // The dropped byte belongs to what was stored before, if anything was:
      // the whole chunk just read must still be searched for the line feed.
      if (stored > 0) {
        --stored;
      } else {
        --got;
      }
      at = buffer + stored;
    }
    void* lf = std::memchr(at, '\n', got);
    if (lf) {
      char* end = static_cast<char*>(lf) + 1;
      const long beyond = static_cast<long>(at + got - end);
      *end = '\0';
      if (beyond != 0) std::fseek(f, -beyond, SEEK_CUR);
      return static_cast<int>(end - buffer);
    }
    stored += static_cast<int>(got);
  }
  buffer[stored] = '\0';
  return stored;
}

LineReader::LineReader(FileHandle f, std::string name, std::size_t limit)
    : f_(f), name_(std::move(name)), limit_(limit) {}

bool LineReader::Next(std::string& line) {
  static char buf[kLineLimit + 1];
  line.clear();
  if (!f_ || too_long_) return false;
  for (;;) {
    const int n = ReadLine(buf, kLineLimit, f_);
    if (n <= 0) break;
    line.append(buf, static_cast<std::size_t>(n));
    if (buf[n - 1] == '\n') break;
    // Even a CR LF still to come can't bring it within the bound: the rest
    // of the line is never read.
    if (line.size() > limit_ + 1) break;
  }
  if (line.empty()) return false;
  ++line_number_;
  std::size_t text = line.size();
  if (line[text - 1] == '\n') {
    --text;
    if (text && line[text - 1] == '\r') --text;
  }
  if (text > limit_) {
    too_long_ = true;
    line.clear();
    return false;
  }
  line.resize(std::strlen(line.c_str()));
  return true;
}

std::string LineReader::TooLongText() const {
  return Format(LoadText(1534), line_number_, name_.c_str(), static_cast<int>(limit_));
}

bool ReadWholeLine(FileHandle f, std::string& line) {
  LineReader reader(f, std::string(), kWholeLineLimit);
  return reader.Next(line);
}

int FileWrite(FileHandle f, const char* data, std::size_t n) {
  if (!f || !data) return 0;
  return std::fwrite(data, 1, n, f) == n ? 1 : 0;
}

int FileWrite(FileHandle f, const std::string& text) {
  return FileWrite(f, text.data(), text.size());
}

FileWriter::FileWriter(const std::string& path)
    : path_(path), f_(FileCreate(path.c_str())), ok_(f_ != nullptr) {
  if (f_) buffer_ = std::make_unique<char[]>(kBufferSize);
}

FileWriter::~FileWriter() {
  Close();
}

void FileWriter::Flush() {
  if (used_ && ok_ && f_ && std::fwrite(buffer_.get(), 1, used_, f_) != used_) ok_ = false;
  used_ = 0;
}

bool FileWriter::Room(std::size_t n) {
  if (!ok_ || !f_) return false;
  if (kBufferSize - used_ < n) Flush();
  return ok_;
}

void FileWriter::Write(const char* data, std::size_t n) {
  if (!data || !Room(n < kBufferSize ? n : 0)) return;
  if (n >= kBufferSize) {
    // Larger than the buffer: straight to the file, behind what is there.
    Flush();
    if (ok_ && std::fwrite(data, 1, n, f_) != n) ok_ = false;
    return;
  }
  std::memcpy(buffer_.get() + used_, data, n);
  used_ += n;
}

void FileWriter::WriteEscaped(const char* data, std::size_t n) {
  if (!data) return;
  // At most six bytes ("&quot;") for each byte of the text.
  constexpr std::size_t kWidest = 6;
  for (std::size_t done = 0; done < n;) {
    const std::size_t part = std::min(n - done, kBufferSize / kWidest);
    if (!Room(part * kWidest)) return;
    char* out = buffer_.get() + used_;
    for (const char* in = data + done, *end = in + part; in != end; ++in) {
      switch (*in) {
        case '&':
          std::memcpy(out, "&amp;", 5);
          out += 5;
          break;
        case '<':
          std::memcpy(out, "&lt;", 4);
          out += 4;
          break;
        case '>':
          std::memcpy(out, "&gt;", 4);
          out += 4;
          break;
        case '"':
          std::memcpy(out, "&quot;", 6);
          out += 6;
          break;
        default:
          *out++ = *in;
      }
    }
    used_ = static_cast<std::size_t>(out - buffer_.get());
    done += part;
  }
}

void FileWriter::Printf(const char* fmt, ...) {
  if (!fmt || !Room(0)) return;
  va_list ap;
  va_start(ap, fmt);
  va_list again;
  va_copy(again, ap);
  // Formatted once, into the buffer; only a text that does not fit in what
  // is left is formatted a second time.
  const int n = std::vsnprintf(buffer_.get() + used_, kBufferSize - used_, fmt, ap);
  va_end(ap);
  if (n < 0) {
    ok_ = false;
  } else if (static_cast<std::size_t>(n) < kBufferSize - used_) {
    used_ += static_cast<std::size_t>(n);
  } else {
    std::string text(static_cast<std::size_t>(n) + 1, '\0');
    std::vsnprintf(&text[0], text.size(), fmt, again);
    text.resize(static_cast<std::size_t>(n));
    Write(text);
  }
  va_end(again);
}

bool FileWriter::Close() {
  if (f_) {
    Flush();
    // ferror also catches a failure inside stdio that no result showed.
    if (std::fflush(f_) != 0 || std::ferror(f_)) ok_ = false;
    if (std::fclose(f_) != 0) ok_ = false;
    f_ = nullptr;
    buffer_.reset();
  }
  return ok_;
}

std::string JoinPath(const std::string& dir, const std::string& name) {
  if (dir.empty()) return name;
  return dir + kPathSep + name;
}

int ReplaceFileWith(const std::string& path, const char* data, std::size_t n) {
  const std::string part = path + ".part";
  FileWriter f(part);
  f.Write(data, n);
  std::error_code ec;
  // One rename over the old file (MoveFileEx replacing it, on Windows).
  if (f.Close()) std::filesystem::rename(part, path, ec);
  if (!f.Ok() || ec) {
    DeleteFileAt(part.c_str());
    return 0;
  }
  return 1;
}
