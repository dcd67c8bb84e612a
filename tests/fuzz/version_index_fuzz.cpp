// The version index: whatever the vendor's server (or whoever answers in its
// place) sends back, with every message box answered by the headless Ui.
// Properties:
//   - "#BYE" ends the main window and makes the reader return 0, and only
//     then; otherwise the reply counter goes up by one;
//   - every message shown is a piece of one line of the answer: no line
//     break and no ";" in it;
//   - news counters only grow, and news is shown only for a newer number;
//   - a last line without a line feed is not read: appending one changes
//     nothing;
//   - lines may end in CR LF: an answer without CRs reads the same with
//     every LF turned into CR LF.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "fuzz_support.h"
#include "hunt/controller.h"
#include "platform/headless_ui.h"
#include "settings/settings.h"
#include "update/version_index.h"

namespace {

struct Outcome {
  int result = 0;
  std::vector<std::string> log;
  bool ended = false;
  std::string index;     // g_version_index, one text
  std::string counters;  // what the reader may change in g_settings and g_hunt
  int news_before = 0;
  int news_after = 0;
  int replies_raised = 0;
};

Outcome Read(const std::string& answer, int news, int upgrade) {
  fuzz::HeadlessScope headless;
  platform::HeadlessUi& ui = headless.ui();
  g_settings = AppSettings{};
  g_settings.news = news;
  g_settings.upgrade = upgrade;
  g_version_index = VersionIndex{};
  g_hunt.run_kind = kRunHunt;
  g_hunt.vendor_replies = 0;

  Outcome o;
  o.news_before = news;
  o.result = ParseVersionIndex(answer.c_str());
  o.log = ui.log;
  o.ended = ui.main_window_ended;
  const VersionIndex& v = g_version_index;
  o.index = std::to_string(v.latest_version) + "|" + std::to_string(v.latest_build) + "|" +
            v.build_url.value_or("-") + "|" + v.soft_version.value_or("-") + "|" +
            v.soft_url.value_or("-");
  o.counters = std::to_string(g_settings.lastwarn) + "|" + std::to_string(g_settings.news) + "|" +
               std::to_string(g_settings.upgradenew) + "|" + std::to_string(g_hunt.run_kind);
  o.news_after = g_settings.news;
  o.replies_raised = g_hunt.vendor_replies;
  return o;
}

bool Same(const Outcome& a, const Outcome& b) {
  return a.result == b.result && a.log == b.log && a.ended == b.ended && a.index == b.index &&
         a.counters == b.counters && a.replies_raised == b.replies_raised;
}

void CheckOutcome(const Outcome& o, const std::string& answer) {
  // "#BYE" ends the program at once; anything else counts as a reply read.
  FUZZ_CHECK(o.result == 0 || o.result == 1);
  FUZZ_CHECK((o.result == 0) == o.ended);
  FUZZ_CHECK(o.replies_raised == (o.result == 1 ? 1 : 0));
  FUZZ_CHECK(o.news_after >= o.news_before);
  // A directive is a line starting with "#", so a box needs one.
  int boxes = 0;
  for (const std::string& entry : o.log) {
    if (entry.rfind("box ", 0) != 0) continue;
    ++boxes;
    // "box caption|text|style": the text is a piece of one line.
    const std::size_t first = entry.find('|');
    const std::size_t last = entry.rfind('|');
    FUZZ_CHECK(first != std::string::npos && last > first);
    const std::string text = entry.substr(first + 1, last - first - 1);
    FUZZ_CHECK(text.find('\n') == std::string::npos);
    FUZZ_CHECK(text.find(';') == std::string::npos);
    FUZZ_CHECK(answer.find(text) != std::string::npos);
  }
  std::size_t lines_with_hash = 0;
  for (std::size_t at = answer.find('#'); at != std::string::npos; at = answer.find('#', at + 1)) {
    ++lines_with_hash;
  }
  FUZZ_CHECK(static_cast<std::size_t>(boxes) <= lines_with_hash);
  // Addresses announced are pieces of one line too.
  FUZZ_CHECK(o.index.find('\n') == std::string::npos);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  // The first two bytes: the counters the program had before.
  const int news = data[0];
  const int upgrade = data[1];
  // The reader takes a C string: the answer ends at its first NUL.
  std::string answer(reinterpret_cast<const char*>(data + 2), size - 2);
  answer.resize(answer.find('\0') == std::string::npos ? answer.size() : answer.find('\0'));

  const Outcome o = Read(answer, news, upgrade);
  CheckOutcome(o, answer);

  // An unfinished last line is not read.
  std::string tail = answer;
  if (tail.empty() || tail.back() == '\n') tail += "#BYE";
  tail += "#MESSAGE=not read;";
  FUZZ_CHECK(Same(o, Read(tail, news, upgrade)));

  if (answer.find('\r') == std::string::npos) {
    std::string crlf;
    for (char c : answer) {
      if (c == '\n') crlf += '\r';
      crlf += c;
    }
    FUZZ_CHECK(Same(o, Read(crlf, news, upgrade)));
  }
  return 0;
}
