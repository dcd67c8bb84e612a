#include "cli/hit_output.h"

#include <cstdint>
#include <optional>

#include "engines/engines.h"
#include "hunt/hunt_state.h"
#include "results/store.h"
#include "util/text.h"

namespace cli {

namespace {

std::string Text(const std::optional<std::string>& s) {
  return s ? *s : std::string();
}

// Length of the valid UTF-8 sequence at s[i], or 0 when the byte there
// starts none (overlong forms, surrogates and code points past U+10FFFF
// are not valid).
std::size_t Utf8Length(const std::string& s, std::size_t i) {
  const auto b = [&s](std::size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char c = b(i);
  if (c < 0x80) return 1;
  std::size_t n;
  std::uint32_t cp;
  if (c >= 0xC2 && c <= 0xDF) {
    n = 2;
    cp = c & 0x1F;
  } else if (c >= 0xE0 && c <= 0xEF) {
    n = 3;
    cp = c & 0x0F;
  } else if (c >= 0xF0 && c <= 0xF4) {
    n = 4;
    cp = c & 0x07;
  } else {
    return 0;
  }
  if (i + n > s.size()) return 0;
  for (std::size_t k = 1; k < n; ++k) {
    if ((b(i + k) & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (b(i + k) & 0x3F);
  }
  if ((n == 3 && cp < 0x800) || (n == 4 && (cp < 0x10000 || cp > 0x10FFFF))) return 0;
  if (cp >= 0xD800 && cp <= 0xDFFF) return 0;
  return n;
}

}  // namespace

bool ParseHitFormat(const std::string& text, HitFormat* out) {
  if (text == "tsv") {
    *out = HitFormat::kTsv;
  } else if (text == "csv") {
    *out = HitFormat::kCsv;
  } else if (text == "json") {
    *out = HitFormat::kJson;
  } else {
    return false;
  }
  return true;
}

std::string JsonString(const std::string& bytes) {
  std::string out = "\"";
  for (std::size_t i = 0; i < bytes.size();) {
    const unsigned char c = static_cast<unsigned char>(bytes[i]);
    const std::size_t n = Utf8Length(bytes, i);
    if (n == 0) {
      out += Format("\\udc%02x", c);
      ++i;
      continue;
    }
    if (n > 1) {
      out.append(bytes, i, n);
    } else if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c < 0x20) {
      out += Format("\\u%04x", c);
    } else {
      out += static_cast<char>(c);
    }
    i += n;
  }
  return out + "\"";
}

std::string CsvField(const std::string& bytes) {
  if (bytes.find_first_of("\",\r\n") == std::string::npos) return bytes;
  std::string out = "\"";
  for (char c : bytes) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

std::string Escaped(const std::string& bytes) {
  std::string out;
  for (char ch : bytes) {
    const unsigned char c = static_cast<unsigned char>(ch);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += ch;
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c < 0x20 || c == 0x7f) {
      out += Format("\\x%02x", c);
    } else {
      out += ch;
    }
  }
  return out;
}

std::string Quoted(const std::string& bytes) {
  return "\"" + Escaped(bytes) + "\"";
}

std::string HitHeader(HitFormat format) {
  return format == HitFormat::kCsv ? "name,size,date,location,engine_id,engine_name,term\r\n"
                                   : std::string();
}

std::string HitLine(HitFormat format, const FileHit& hit) {
  if (format == HitFormat::kTsv) {
    return Text(hit.name) + "\t" + Text(hit.size) + "\t" + Text(hit.date) + "\t" +
           Text(hit.location) + "\n";
  }
  // A hit no Hunt made (a project's) names no engine and no term.
  const bool by_hunt = hit.term_index >= 0;
  std::string engine_name;
  if (const EngineEntry* e = by_hunt ? FindEngineById(hit.engine_id) : nullptr) {
    engine_name = Text(e->name);
  }
  std::string term;
  if (by_hunt && static_cast<std::size_t>(hit.term_index) < g_hunt.search_terms.size()) {
    term = g_hunt.search_terms[static_cast<std::size_t>(hit.term_index)];
  }
  const std::string id = by_hunt ? Format("%i", static_cast<int>(hit.engine_id)) : "";
  if (format == HitFormat::kCsv) {
    return CsvField(Text(hit.name)) + "," + CsvField(Text(hit.size)) + "," +
           CsvField(Text(hit.date)) + "," + CsvField(Text(hit.location)) + "," + id + "," +
           CsvField(engine_name) + "," + CsvField(term) + "\r\n";
  }
  // Absent texts are null, and so are engine and term of a hit no Hunt made.
  const auto json = [](const std::optional<std::string>& s) {
    return s ? JsonString(*s) : std::string("null");
  };
  return "{\"name\":" + json(hit.name) + ",\"size\":" + json(hit.size) +
         ",\"date\":" + json(hit.date) + ",\"location\":" + json(hit.location) +
         ",\"engine_id\":" + (by_hunt ? id : "null") +
         ",\"engine_name\":" + (by_hunt ? JsonString(engine_name) : "null") +
         ",\"term\":" + (by_hunt ? JsonString(term) : "null") + "}\n";
}

}  // namespace cli
