// File helpers: binary-mode files read line by line in small chunks.
#pragma once

#include <cstdio>
#include <string>

using FileHandle = std::FILE*;

// Opens for reading (binary); null when it can't.
FileHandle FileOpenRead(const char* path);
// Creates or truncates for writing (binary); null when it can't.
FileHandle FileCreate(const char* path);
void FileClose(FileHandle f);
// 1 if the file can be opened for reading, else 0.
int FileExists(const char* path);
int DeleteFileAt(const char* path);

// Reads the next line (newline kept) into buffer, which must hold limit + 1
// bytes; returns the number of bytes stored, 0 at the end or on error. A line
// longer than limit comes back in pieces of whole 256-byte chunks.
int ReadLine(char* buffer, int limit, FileHandle f);

// Reads one whole line however long, joining the pieces ReadLine hands back,
// and cuts it at a NUL byte (the texts are C strings). Line end kept.
// False at the end of the file.
bool ReadWholeLine(FileHandle f, std::string& line);

// Formats like printf and writes the whole text; nothing for a null file.
// Returns 1 when every byte was written.
int FilePrintf(FileHandle f, const char* fmt, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 2, 3)))
#endif
    ;
// Writes the bytes as they are; 1 when every byte was written.
int FileWrite(FileHandle f, const char* data, std::size_t n);
int FileWrite(FileHandle f, const std::string& text);

// The platform's path separator, used to build paths such as reports/N.htm.
constexpr char kPathSep =
#ifdef _WIN32
    '\\';
#else
    '/';
#endif
std::string JoinPath(const std::string& dir, const std::string& name);
