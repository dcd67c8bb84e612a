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

// A text as it goes into the file. The format has no escaping, so a text
// holding a line break or one of the record markers "<1>" to "<5>" would be
// read back as other lines or other fields, even as hits that were never
// saved. Such texts are altered on the way out instead of refused, so no
// hit is lost: CR, LF (and NUL) become a blank, and the "<" of a marker
// becomes "%3C", the URL form of "<", so "a<2>b" is stored as "a%3C2>b"
// (for a location that is the same address). Every other byte is written
// as it is, and the project in memory keeps its texts.
std::string StoredText(const std::optional<std::string>& text) {
  std::string out;
  if (!text) return out;
  const std::string& s = *text;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size(); ++i) {
    const char c = s[i];
    if (c == '\r' || c == '\n' || c == '\0') {
      out += ' ';
    } else if (c == '<' && i + 2 < s.size() && s[i + 1] >= '1' && s[i + 1] <= '5' &&
               s[i + 2] == '>') {
      out += "%3C";
    } else {
      out += c;
    }
  }
  return out;
}

std::optional<std::string> FieldText(const char* from, const char* to) {
  if (to <= from) return std::nullopt;  // an empty field means absent
  return std::string(from, static_cast<std::size_t>(to - from));
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
  hit.name = FieldText(s, m1);
  hit.location = FieldText(m1 + 3, m2);
  hit.size = FieldText(m2 + 3, m3);
  hit.date = FieldText(m3 + 3, m4);
  hit.mark_flags = static_cast<std::uint32_t>(TextToInt(m4 + 3));
  hit.tag = TextToInt(m5 + 3);
  return true;
}

// The header line "historyN=text": N between "history" and the first "=".
void ReadHistoryLine(const char* line, const char* value) {
  const char* eq = std::strchr(line, '=');
  const std::string index_text(line + 7, static_cast<std::size_t>(eq - (line + 7)));
  const int index = TextToInt(index_text.c_str());
  // An index outside 0-9 has no entry to go to.
  if (index < 0 || index >= kHistorySize) return;
  g_project.history[static_cast<std::size_t>(index)] = std::string(value);
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
  if (g_project.query) f.Printf("query=%s\n", StoredText(g_project.query).c_str());
  f.Printf("exact=%i\n", g_project.exact);
  f.Printf("files=%i\n", g_project.max_files);
  for (int i = 0; i < kHistorySize; ++i) {
    const auto& entry = g_project.history[static_cast<std::size_t>(i)];
    if (!entry || entry->empty()) continue;
    f.Printf("history%i=%s\n", i, StoredText(entry).c_str());
  }
  f.Printf("engine=");
  for (const EngineEntry& e : g_engines) {
    if (e.selected) f.Printf("%i,", e.id);
  }
  f.Printf("\nBODY=\n");
  for (const FileHit* hit : HitsInListOrder()) {
    f.Printf("%s<1>%s<2>%s<3>%s<4>%i<5>%i\n", StoredText(hit->name).c_str(),
             StoredText(hit->location).c_str(), StoredText(hit->size).c_str(),
             StoredText(hit->date).c_str(), static_cast<int>(hit->mark_flags),
             static_cast<int>(hit->tag));
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
    return 0;
  }
  platform::ui().WaitCursor(true);
  EmptyResultsList();

  LineReader reader(f, *g_settings.filename, kProjectLineLimit);
  std::string line;
  // Header: settings up to the first line that holds "BODY=" anywhere.
  while (reader.Next(line)) {
    if (line.find("BODY=") != std::string::npos) break;
    TrimRight(line);
    const char* s = line.c_str();
    const char* eq = std::strchr(s, '=');
    const char* value = eq ? eq + 1 : "";
    if (std::strstr(s, "query=")) {
      g_project.query = std::string(value);
    } else if (std::strstr(s, "files=")) {
      g_project.max_files = TextToInt(value);
    } else if (std::strstr(s, "exact=")) {
      g_project.exact = TextToInt(value);
    } else if (std::strstr(s, "engine=")) {
      // The list is what follows the line's first "=", so that a history
      // line holding "engine=" selects what stands behind that "engine=".
      SelectEnginesFromList(value);
    } else if (std::strncmp(s, "history", 7) == 0 && eq) {
      ReadHistoryLine(s, value);
    }
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
  if (g_right_tab == 0) FillResultsList();
  platform::frontend().UpdateEngineCount();
  platform::ui().WaitCursor(false);
  if (reader.TooLong()) ErrorBox(reader.TooLongText());
  return 1;
}

void SelectEnginesFromList(const char* text) {
  for (EngineEntry& e : g_engines) e.selected = 0;
  if (!text) return;
  const char* eq = std::strchr(text, '=');
  const char* p = eq ? eq + 1 : text;
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

  int first_free = -1;
  for (int i = 0; i < kHistorySize; ++i) {
    const auto& entry = g_project.history[static_cast<std::size_t>(i)];
    if (!entry) {
      if (first_free < 0) first_free = i;
      continue;
    }
    if (StrICmp(entry->c_str(), query.c_str()) == 0) return HistoryChange::kNone;
  }
  if (first_free >= 0) {
    g_project.history[static_cast<std::size_t>(first_free)] = query;
    return HistoryChange::kInsertTop;
  }
  for (int i = kHistorySize - 1; i > 0; --i) {
    g_project.history[static_cast<std::size_t>(i)] =
        std::move(g_project.history[static_cast<std::size_t>(i - 1)]);
  }
  g_project.history[0] = query;
  return HistoryChange::kDropAndInsert;
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
