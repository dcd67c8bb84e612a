// File helpers: binary-mode files read line by line in small chunks.
#pragma once

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

using FileHandle = std::FILE*;

// Opens a regular file for reading (binary); null when it can't, and for
// anything else (a directory, a device such as /dev/zero, a pipe that would
// block): the readers take lines from files, never from endless streams.
FileHandle FileOpenRead(const char* path);
// Creates or truncates for writing (binary); null when it can't. Unchecked:
// new code writes through FileWriter, which checks every step.
FileHandle FileCreate(const char* path);
void FileClose(FileHandle f);
// 1 if the file is a regular file that can be opened for reading, else 0.
int FileExists(const char* path);
int DeleteFileAt(const char* path);

// Reads the next line (newline kept) into buffer, which must hold limit + 1
// bytes; returns the number of bytes stored, 0 at the end or on error. A line
// longer than limit comes back in pieces of whole 256-byte chunks.
int ReadLine(char* buffer, int limit, FileHandle f);

// The data files' lines, one at a time and each one whole, up to a bound:
// reading stops at the first line longer than the bound (its line end not
// counted), so no piece of a long line is ever taken for a line of its own,
// and a file of one endless line costs no more than the bound. The caller
// shows TooLongText() when TooLong().
class LineReader {
 public:
  // name is the file as the error names it; f stays the caller's.
  LineReader(FileHandle f, std::string name, std::size_t limit);

  // The next line, its line end kept, cut at a NUL byte (the texts are C
  // strings; a NUL that begins a line is dropped, as ReadLine does). False
  // at the end of the file, on a read error and at a line over the bound.
  bool Next(std::string& line);
  bool TooLong() const { return too_long_; }
  // The number of the line Next gave last, or of the line over the bound.
  int LineNumber() const { return line_number_; }
  // "Line N of 'name' is longer than L bytes..." (string 1534).
  std::string TooLongText() const;

 private:
  FileHandle f_;
  std::string name_;
  std::size_t limit_;
  int line_number_ = 0;
  bool too_long_ = false;
};

// Lines of the project files may hold a location, a name and a query with
// room to spare; no line the program writes comes near this.
constexpr std::size_t kWholeLineLimit = std::size_t{1} << 20;

// One line through a LineReader with the bound kWholeLineLimit; false at the
// end of the file and at a longer line (the caller stops there).
bool ReadWholeLine(FileHandle f, std::string& line);

// Writes the bytes as they are; 1 when every byte was written.
int FileWrite(FileHandle f, const char* data, std::size_t n);
int FileWrite(FileHandle f, const std::string& text);

// A file being written that remembers its first failure: a file the
// program writes must never pass for saved when a write, the flush or the
// close failed (a full disk often shows only at the flush). After a
// failure every further write does nothing. Writes gather in a buffer of
// its own that goes to the file in large blocks; Printf formats once,
// straight into it.
class FileWriter {
 public:
  // Creates or truncates path for writing in binary mode.
  explicit FileWriter(const std::string& path);
  // Closes a file still open; whether that worked is lost then.
  ~FileWriter();
  FileWriter(const FileWriter&) = delete;
  FileWriter& operator=(const FileWriter&) = delete;

  // Whether the file was created and is not yet closed.
  bool IsOpen() const { return f_ != nullptr; }
  // False from the first failure on, and for a file that couldn't be created.
  bool Ok() const { return ok_; }
  const std::string& Path() const { return path_; }

  void Write(const char* data, std::size_t n);
  void Write(const std::string& text) { Write(text.data(), text.size()); }
  void Write(const char* text) { Write(text, std::strlen(text)); }
  // The text with "&", "<", ">" and '"' written as HTML entities
  // (HtmlEscape), without a copy of its own.
  void WriteEscaped(const char* data, std::size_t n);
  void WriteEscaped(const std::string& text) { WriteEscaped(text.data(), text.size()); }
  void Printf(const char* fmt, ...)
#if defined(__GNUC__)
      __attribute__((format(printf, 2, 3)))
#endif
      ;
  // Flushes and closes; true when the file was created and every write,
  // the flush and the close succeeded. A second call gives the same answer.
  bool Close();

 private:
  static constexpr std::size_t kBufferSize = 64 * 1024;
  // Room for n more bytes in the buffer, making it by a flush; false when
  // nothing can be written any more.
  bool Room(std::size_t n);
  void Flush();

  std::string path_;
  FileHandle f_;
  bool ok_;
  std::unique_ptr<char[]> buffer_;
  std::size_t used_ = 0;
};

// Writes the bytes to path + ".part" in the same directory, then renames
// that over path in one step: a reader sees the old file or the new one,
// never a piece, and a failed write leaves the old file as it was. 1 when
// path holds the bytes; 0 with the old file untouched and no ".part" left.
int ReplaceFileWith(const std::string& path, const char* data, std::size_t n);

// The platform's path separator, used to build paths such as reports/N.htm.
constexpr char kPathSep =
#ifdef _WIN32
    '\\';
#else
    '/';
#endif
std::string JoinPath(const std::string& dir, const std::string& name);
