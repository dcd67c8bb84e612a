// The lines torvane-cli writes for hits: tab-separated (as ever), CSV and
// JSON lines. Texts are written as the engines sent them, byte for byte;
// only what each format must escape is escaped.
#pragma once

#include <cstdio>
#include <string>

struct FileHit;

namespace cli {

enum class HitFormat { kTsv, kCsv, kJson };

// "tsv", "csv" or "json"; false for anything else.
bool ParseHitFormat(const std::string& text, HitFormat* out);

// The line (with its line end) that stands before the hits: the CSV header,
// empty for the others.
std::string HitHeader(HitFormat format);
// One hit's line, with its line end. engine_name and term are empty when the
// hit names no engine or term.
std::string HitLine(HitFormat format, const FileHit& hit);

// A JSON string literal for bytes: valid UTF-8 is kept as it is; each byte
// that is not part of a valid UTF-8 sequence becomes the escape \udcXX (XX
// its value, 80 to FF). No valid text holds those code points, so a reader
// gets the bytes back exactly (Python: s.encode("utf-8", "surrogateescape")).
std::string JsonString(const std::string& bytes);
// A CSV field per RFC 4180: quoted when it holds a quote, comma, CR or LF,
// with each quote doubled.
std::string CsvField(const std::string& bytes);

// For lines meant to be read (and split) by people and scripts: the text
// with \r, \n, \t, \", \\ and \xNN for the other control bytes; other
// bytes as they are. Quoted puts it between double quotes.
std::string Escaped(const std::string& bytes);
std::string Quoted(const std::string& bytes);

}  // namespace cli
