#include "projects/project.h"

#include <cstring>
#include <string>

#include "engines/engines.h"
#include "platform/frontend.h"
#include "platform/ui.h"
#include "results/store.h"
#include "util/file.h"
#include "util/text.h"
#include "util/vendor.h"

SearchProject g_project;

namespace {

constexpr int kQueryLimit = 2047;  // what the query field hands over

bool HasPath() {
  return g_settings.filename && !g_settings.filename->empty();
}

// Lines are read whole: cutting a long line into pieces would let the tail
// of one field be read as a line of its own. The bound leaves room for any
// line the program writes.
constexpr std::size_t kProjectLineLimit = kWholeLineLimit;

// Texts go into the file as they are, except what would be read back as
// something else: a line break or NUL (other lines, a cut text), a "<" that
// begins one of the markers "<1>" to "<5>" (other fields), and a blank at
// the end of a header text (trimmed on reading). Each such byte is written
// as "<5>" and its value in two hex digits ("a<5>0Ab" is "a\nb"). A hit's
// name that is present but empty is written as "<5>" alone: read back as
// absent it would be a nameless hit, which is not counted as found. (For
// the other hit texts empty and absent are the same to every reader, and
// are written alike.) No file the program wrote before held "<5>" inside a
// text (it wrote "%3C" for the "<" of a marker), so those files read as they
// always did, and every text, whatever it holds, comes back byte for byte.
const char kEscape[] = "<5>";
constexpr std::size_t kEscapeLength = 3;

bool StartsMarker(const std::string& s, std::size_t i) {
  return s[i] == '<' && i + 2 < s.size() && s[i + 1] >= '1' && s[i + 1] <= '5' && s[i + 2] == '>';
}

// header: a text that ends its line, where trailing blanks are trimmed.
std::string StoredText(const std::string& s, bool header) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size(); ++i) {
    const char c = s[i];
    if (c == '\r' || c == '\n' || c == '\0' || StartsMarker(s, i) ||
        (header && c == ' ' && i + 1 == s.size())) {
      const auto b = static_cast<unsigned char>(c);
      out += kEscape;
      out += kHex[b >> 4];
      out += kHex[b & 15];
    } else {
      out += c;
    }
  }
  return out;
}

std::string StoredHitText(const std::optional<std::string>& text) {
  return text ? StoredText(*text, false) : std::string();
}

std::string StoredHitName(const std::optional<std::string>& name) {
  return name && name->empty() ? std::string(kEscape) : StoredHitText(name);
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The text StoredText wrote for [from, to).
std::string LoadedText(const char* from, const char* to) {
  std::string out;
  out.reserve(static_cast<std::size_t>(to - from));
  while (from < to) {
    if (to - from >= 5 && std::strncmp(from, kEscape, kEscapeLength) == 0 &&
        HexDigit(from[3]) >= 0 && HexDigit(from[4]) >= 0) {
      out += static_cast<char>(HexDigit(from[3]) * 16 + HexDigit(from[4]));
      from += 5;
    } else {
      out += *from++;
    }
  }
  return out;
}

std::optional<std::string> FieldText(const char* from, const char* to) {
  if (to <= from) return std::nullopt;  // an empty field means absent
  return LoadedText(from, to);
}

std::optional<std::string> NameText(const char* from, const char* to) {
  if (static_cast<std::size_t>(to - from) == kEscapeLength &&
      std::strncmp(from, kEscape, kEscapeLength) == 0) {
    return std::string();
  }
  return FieldText(from, to);
}

// One body line: name<1>location<2>size<3>date<4>mark<5>tag. Lines without
// the five markers in order are not records.
bool ParseHitLine(const char* s, FileHit& hit) {
  const char* m1 = std::strstr(s, "<1>");
  if (!m1) return false;
  const char* m2 = std::strstr(m1 + 3, "<2>");
  if (!m2) return false;
  const char* m3 = std::strstr(m2 + 3, "<3>");
  if (!m3) return false;
  const char* m4 = std::strstr(m3 + 3, "<4>");
  if (!m4) return false;
  const char* m5 = std::strstr(m4 + 3, "<5>");
  if (!m5) return false;
  hit.name = NameText(s, m1);
  hit.location = FieldText(m1 + 3, m2);
  hit.size = FieldText(m2 + 3, m3);
  hit.date = FieldText(m3 + 3, m4);
  hit.mark_flags = static_cast<std::uint32_t>(TextToInt(m4 + 3));
  hit.tag = TextToInt(m5 + 3);
  return true;
}

// The header line "historyN=text": N between "history" and the first "=".
void ReadHistoryLine(const std::string& line, std::size_t eq) {
  const int index = TextToInt(line.substr(7, eq - 7).c_str());
  // An index outside 0-9 has no entry to go to.
  if (index < 0 || index >= kHistorySize) return;
  g_project.history[static_cast<std::size_t>(index)] =
      LoadedText(line.c_str() + eq + 1, line.c_str() + line.size());
}

bool StartsWith(const std::string& line, const char* key) {
  return line.compare(0, std::strlen(key), key) == 0;
}

// One header line. Keys count only at the start of a line, where the writer
// puts them: a query or history text holding "files=" or "BODY=" is text.
void ReadHeaderLine(const std::string& line) {
  const char* end = line.c_str() + line.size();
  if (StartsWith(line, "query=")) {
    g_project.query = LoadedText(line.c_str() + 6, end);
  } else if (StartsWith(line, "files=")) {
    g_project.max_files = TextToInt(line.c_str() + 6);
  } else if (StartsWith(line, "exact=")) {
    g_project.exact = TextToInt(line.c_str() + 6);
  } else if (StartsWith(line, "engine=")) {
    SelectEnginesFromList(line.c_str());
  } else if (StartsWith(line, "history")) {
    const std::size_t eq = line.find('=');
    if (eq != std::string::npos) ReadHistoryLine(line, eq);
  }
}

void ShowFilesFound() {
  if (!platform::ui().IsOpen(platform::kStatusDialog)) return;
  platform::ui().SetText(platform::kStatusDialog, IDC_FILES_FOUND,
                         std::string("  ") + IntToText(g_total_hits));
}

// Windows reads the Max Files field as a signed integer and fails on
// anything else; failure and values below 1 give 50.
int MaxFilesFromText(const char* text) {
  if (!text) return 50;
  while (*text == ' ') ++text;
  const char* p = text;
  if (*p == '-' || *p == '+') ++p;
  if (*p < '0' || *p > '9') return 50;
  long long v = 0;
  for (; *p >= '0' && *p <= '9'; ++p) {
    v = v * 10 + (*p - '0');
    if (v > 2147483647LL) return 50;
  }
  while (*p == ' ') ++p;
  if (*p) return 50;
  if (*text == '-') v = -v;
  return v < 1 ? 50 : static_cast<int>(v);
}

}  // namespace

int SaveProject() {
  if (!HasPath()) return 0;
  FileWriter f(*g_settings.filename);
  if (!f.IsOpen()) {
    ErrorBox(LoadText(1509));
    return 0;
  }
  platform::frontend().WindowToProject();

  f.Printf("OWNER=%s %i\n", TORVANE_PRODUCT_NAME, TORVANE_VERSION_NUMBER);
  if (g_project.query) f.Write("query=" + StoredText(*g_project.query, true) + "\n");
  f.Printf("exact=%i\n", g_project.exact);
  f.Printf("files=%i\n", g_project.max_files);
  for (int i = 0; i < kHistorySize; ++i) {
    const auto& entry = g_project.history[static_cast<std::size_t>(i)];
    if (!entry || entry->empty()) continue;
    f.Write(Format("history%i=", i) + StoredText(*entry, true) + "\n");
  }
  f.Printf("engine=");
  for (const EngineEntry& e : g_engines) {
    if (e.selected) f.Printf("%i,", e.id);
  }
  f.Printf("\nBODY=\n");
  for (const FileHit* hit : HitsInListOrder()) {
    f.Write(StoredHitName(hit->name) + "<1>" + StoredHitText(hit->location) + "<2>" +
            StoredHitText(hit->size) + "<3>" + StoredHitText(hit->date) + "<4>" +
            Format("%i<5>%i\n", static_cast<int>(hit->mark_flags), static_cast<int>(hit->tag)));
  }
  // A disk that fills up half-way must not pass for a saved project.
  if (f.Close()) return 1;
  ErrorBox(LoadText(1509));
  return 0;
}

int LoadProject() {
  FreeHitList();
  for (auto& entry : g_project.history) entry.reset();

  FileHandle f = HasPath() ? FileOpenRead(g_settings.filename->c_str()) : nullptr;
  if (!f) {
    EmptyResultsList();
    // A catalogue page shown meanwhile keeps its rows.
    if (g_right_tab != 0) FillResultsList();
    return 0;
  }
  platform::ui().WaitCursor(true);
  EmptyResultsList();

  LineReader reader(f, *g_settings.filename, kProjectLineLimit);
  std::string line;
  // Header: settings up to the line "BODY=".
  while (reader.Next(line)) {
    if (StartsWith(line, "BODY=")) break;
    TrimRight(line);
    ReadHeaderLine(line);
  }
  // Body: every line judged by itself; file order is kept.
  while (reader.Next(line)) {
    FileHit hit;
    if (!ParseHitLine(line.c_str(), hit)) continue;
    if (hit.name) ++g_total_hits;
    AppendLoadedHit(std::move(hit));
  }
  FileClose(f);

  ShowFilesFound();
  platform::frontend().ProjectToWindow();
  SetWindowTitle();
  // The hits on the results page; a catalogue page gets its rows back.
  FillResultsList();
  platform::frontend().UpdateEngineCount();
  platform::ui().WaitCursor(false);
  if (reader.TooLong()) ErrorBox(reader.TooLongText());
  return 1;
}

std::optional<std::string> HitLineLocation(const std::string& line) {
  FileHit hit;
  if (!ParseHitLine(line.c_str(), hit)) return std::nullopt;
  return hit.location;
}

void SelectEnginesFromList(const char* text) {
  for (EngineEntry& e : g_engines) e.selected = 0;
  if (!text) return;
  const char* eq = std::strchr(text, '=');
  const char* p = eq ? eq + 1 : text;
  // No ID at all is what the writer writes when no engine is ticked; read
  // as an item, it would tick an engine with ID 0.
  if (!*p) return;
  for (;;) {
    const char* comma = std::strchr(p, ',');
    const std::string item =
        comma ? std::string(p, static_cast<std::size_t>(comma - p)) : std::string(p);
    const int id = TextToInt(item.c_str());
    // An unavailable engine can never be ticked, not even by a project
    // saved while its template was still usable.
    for (EngineEntry& e : g_engines) {
      if (e.id == id) {
        if (EngineAvailable(e)) e.selected = 1;
        break;
      }
    }
    if (!comma || comma[1] == '\0') break;
    p = comma + 1;
  }
}

HistoryChange WindowToProjectValues(bool exact_ticked, const char* max_files_text,
                                    const char* query_text) {
  g_project.exact = exact_ticked ? 1 : 0;
  g_project.max_files = MaxFilesFromText(max_files_text);
  std::string query = query_text ? query_text : "";
  if (query.size() > static_cast<std::size_t>(kQueryLimit)) query.resize(kQueryLimit);
  g_project.query = query;

  HistoryChange change;
  auto& history = g_project.history;
  for (const auto& entry : history) {
    if (entry && StrICmp(entry->c_str(), query.c_str()) == 0) return change;
  }
  // Newest first: the entries above the first free one move down into it;
  // a full history gives up entry 9, the oldest.
  std::size_t free_at = 0;
  while (free_at < kHistorySize - 1 && history[free_at]) ++free_at;
  change.entered = true;
  change.dropped = std::move(history[free_at]);
  for (std::size_t i = free_at; i > 0; --i) history[i] = std::move(history[i - 1]);
  history[0] = query;
  return change;
}

void ProjectToWindow() {
  auto& u = platform::ui();
  const std::string query = g_project.query ? *g_project.query : std::string();
  u.SetText(platform::kMainWindow, IDC_QUERY, query);
  if (query.empty()) u.Enable(platform::kMainWindow, IDC_FIND, false);
  u.SetText(platform::kMainWindow, IDC_MAX_FILES, IntToText(g_project.max_files));
}

int UpdateEngineCountLabel() {
  int selected = 0;
  for (const EngineEntry& e : g_engines) {
    if (e.selected) ++selected;
  }
  auto& u = platform::ui();
  u.SetText(platform::kMainWindow, IDC_ENGINE_COUNT,
            Format(" %i/%i", selected, static_cast<int>(g_engines.size())));
  u.Enable(platform::kMainWindow, IDC_FIND, selected > 0);
  return selected;
}

std::string ProjectFileName(const std::string& path) {
  const std::size_t cut = path.find_last_of("\\/");
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

void SetWindowTitle() {
  if (!HasPath()) return;
  std::string title = Format("%s %s - [%s]", TORVANE_PRODUCT_NAME, TORVANE_VERSION_TEXT,
                             ProjectFileName(*g_settings.filename).c_str());
  // The title has the room of the 2048-byte line buffer, no more.
  if (title.size() > static_cast<std::size_t>(kLineLimit - 1)) title.resize(kLineLimit - 1);
  platform::ui().SetTitle(title);
}

void FreeQuery() {
  g_project.query.reset();
}
