#include "results/parser.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "results/links.h"
#include "results/parser_rules.h"
#include "results/store.h"
#include "util/text.h"

namespace {

// The character classes of the C locale, the only one the program runs in,
// looked up rather than asked of the C library per character.
struct CharClasses {
  bool blank[256] = {};
  bool digit[256] = {};
  bool capital[256] = {};
  constexpr CharClasses() {
    for (char c : {' ', '\t', '\n', '\v', '\f', '\r'}) blank[static_cast<unsigned char>(c)] = true;
    for (int c = '0'; c <= '9'; ++c) digit[c] = true;
    for (int c = 'A'; c <= 'Z'; ++c) capital[c] = true;
  }
};
constexpr CharClasses kClass;

bool IsBlank(char c) {
  return kClass.blank[static_cast<unsigned char>(c)];
}
bool IsDigit(char c) {
  return kClass.digit[static_cast<unsigned char>(c)];
}
bool IsCapital(char c) {
  return kClass.capital[static_cast<unsigned char>(c)];
}

// The moves of the extraction rules. p always stays inside the page: it
// never goes in front of the first character nor behind the terminator, and
// a search "from the character after p" finds nothing when p is on the
// terminator. A search that finds nothing returns false and leaves p alone.
struct Cursor {
  char* begin;  // the page's first character
  char* p;

  void StepOn() {
    if (*p) ++p;
  }
  void OneBack() {
    if (p > begin) --p;
  }
  void BackTo(char c) {
    while (p > begin && *p != c) --p;
  }
  void SkipBlanks() {
    while (IsBlank(*p)) ++p;
  }
  void SkipBlanksAndTags() { p = ::SkipBlanksAndTags(p); }
  void ToFirstDigit() {
    while (*p && !IsDigit(*p)) ++p;
  }
  void ToFirstCapital() {
    while (*p && !IsCapital(*p)) ++p;
  }
  void ToNextBlank() {
    while (*p && !IsBlank(*p)) ++p;
  }
  void ToNextOrEnd(char c) {
    while (*p && *p != c) ++p;
  }
  void Advance(std::size_t n) {
    for (; n && *p; --n) ++p;
  }
  // Search from p itself.
  bool Find(char c) {
    char* q = std::strchr(p, c);
    if (!q) return false;
    p = q;
    return true;
  }
  // Search from the character after p.
  bool FindAfter(char c) {
    char* q = *p ? std::strchr(p + 1, c) : nullptr;
    if (!q) return false;
    p = q;
    return true;
  }
  bool FindAfter(const char* text, bool any_case) {
    if (!*p) return false;
    char* q = any_case ? FindNoCase(p + 1, text) : std::strstr(p + 1, text);
    if (!q) return false;
    p = q;
    return true;
  }
  // "Nth > ahead".
  bool Ahead(int n) {
    for (int i = 0; i < n; ++i) {
      if (!FindAfter('>')) return false;
    }
    return true;
  }
  void CopyTo(char* field, char stop) const { CopyUntilN(field, p, stop, kHitFieldMax); }
};

// Runs the extraction rule of engine type `type` with c.p on the "<" of the
// link's anchor. Returns false when a search of the rule found nothing; the
// scan of the page then ends after this hit.
bool RunRule(int type, Cursor& c, const std::string& name, HitFields& f) {
  char* const size = f.size;
  char* const date = f.date;
  switch (type) {
    case 0:
      if (!c.Ahead(2)) return false;
      c.StepOn();
      c.CopyTo(date, '<');
      TrimRight(date);
      c.SkipBlanks();
      c.CopyTo(size, '<');
      TrimRight(size);
      c.SkipBlanks();
      c.BackTo('>');
      c.OneBack();
      c.BackTo('>');
      return true;

    case 2:
      c.SkipBlanksAndTags();
      if (!c.Find('<')) return false;
      c.SkipBlanksAndTags();
      c.CopyTo(size, '<');
      TrimRight(size);
      if (!c.Find('<')) return false;
      c.SkipBlanksAndTags();
      c.CopyTo(date, '<');
      return true;

    case 4:
      if (!c.Find('>')) return false;
      c.StepOn();
      c.ToFirstDigit();
      c.CopyTo(size, ' ');
      if (std::strchr(size, '<')) {
        // The name held a digit: look again behind the next tag.
        if (!c.Find('>')) return false;
        c.StepOn();
        c.ToFirstDigit();
        c.CopyTo(size, ' ');
      }
      c.Advance(std::strlen(size));
      c.ToFirstDigit();
      c.CopyTo(date, ')');
      TrimRight(date);
      TrimRight(size);
      return true;

    case 6:
      c.OneBack();
      c.BackTo('>');
      c.StepOn();
      c.SkipBlanks();
      c.CopyTo(size, ' ');
      TrimRight(size);
      c.StepOn();
      c.ToNextBlank();
      c.SkipBlanks();
      c.CopyTo(date, '<');
      TrimRight(date);
      return true;

    case 7:
      if (!c.FindAfter("FILE", false)) return false;
      c.ToFirstDigit();
      c.CopyTo(size, '\t');
      c.ToFirstCapital();
      c.CopyTo(date, '<');
      TrimRight(date);
      TrimRight(size);
      if (!c.FindAfter("<br>", true)) return false;
      if (!c.FindAfter("<br>", true)) return false;
      return true;

    case 9:
      c.OneBack();
      c.OneBack();
      c.BackTo('>');
      c.ToNextBlank();
      c.SkipBlanks();
      c.CopyTo(size, ' ');
      c.ToNextBlank();
      c.SkipBlanks();
      c.CopyTo(date, '<');
      TrimRight(date);
      TrimRight(size);
      return c.Ahead(2);

    case 10:
      if (!c.Find('>')) return false;
      c.StepOn();
      c.SkipBlanks();
      c.ToNextOrEnd('<');
      c.SkipBlanksAndTags();
      c.CopyTo(size, '<');
      TrimRight(size);
      if (!c.Find('<')) return false;
      c.SkipBlanksAndTags();
      c.SkipBlanks();
      if (*c.p == '-') c.StepOn();
      c.SkipBlanks();
      c.CopyTo(date, '<');
      TrimRight(date);
      return true;

    case 11: {
      // The directory stands in the element in front of the link; the
      // location is that text followed by the link's name.
      c.OneBack();
      c.BackTo('>');
      c.OneBack();
      c.BackTo('>');
      c.StepOn();
      char* const e = std::strchr(c.p, '<');
      if (!e) return false;
      f.location.assign(c.p, static_cast<std::size_t>(e - c.p));
      f.location += name;
      c.p = e;
      if (!c.Find('>')) return false;
      c.StepOn();
      c.ToFirstDigit();
      c.CopyTo(size, ' ');
      c.Advance(std::strlen(size) + 1);
      c.CopyTo(date, ' ');
      c.Advance(std::strlen(date));
      return c.Find('>');
    }

    case 12:
      f.location.insert(0, kFamilyBLocationPrefix);
      if (!c.Ahead(3)) return false;
      c.StepOn();
      c.CopyTo(size, '<');
      return true;

    case 13:
      f.location.insert(0, kFamilyALocationPrefix);
      return c.FindAfter('<');

    case 14:
    case 15:
      if (!c.Ahead(type == 14 ? 5 : 4)) return false;
      c.StepOn();
      c.SkipBlanks();
      c.CopyTo(size, '<');
      TrimRight(size);
      if (!c.FindAfter('>')) return false;
      c.StepOn();
      c.SkipBlanks();
      c.CopyTo(date, '<');
      TrimRight(date);
      if (!c.FindAfter('>')) return false;
      c.StepOn();
      return true;

    case 16:
      if (!c.Ahead(3)) return false;
      c.StepOn();
      c.SkipBlanks();
      c.CopyTo(size, ' ');
      TrimRight(size);
      if (!c.FindAfter(' ')) return false;
      c.StepOn();
      c.SkipBlanks();
      c.CopyTo(date, '<');
      TrimRight(date);
      if (!c.FindAfter('>')) return false;
      c.StepOn();
      return true;

    default:  // 1, 3, 8 and unknown types: the layout gives no size or date
      return true;
  }
}

// Type 5: cuts the page at the first "<href" behind the anchor, then reads
// the labelled size and date in front of it. p stays on the anchor.
bool RunRuleFive(Cursor& c, HitFields& f) {
  Cursor probe = c;
  if (!probe.FindAfter("<href", true)) return false;
  *probe.p = '\0';
  if (const char* s = FindNoCase(c.p, "Size:")) {
    CopyUntilN(f.size, SkipBlanksAndTags(s + 5), '<', kHitFieldMax);
  }
  if (const char* d = FindNoCase(c.p, "Date:")) {
    CopyUntilN(f.date, SkipBlanksAndTags(d + 5), '<', kHitFieldMax);
  }
  return true;
}

// Acceptance of a link text under Exact Match (step 2 of a candidate).
bool ExactAccepts(const std::string& name, const char* term, int type) {
  const char* n = name.c_str();
  if (FoldByte(n[0]) == FoldByte(term[0]) && !StrICmp(n, term)) return true;
  if (type == 5) return true;
  return n[0] == '/' && FoldByte(n[1]) == FoldByte(term[0]) && !StrICmp(n + 1, term);
}

// FindNoCase(text, term) != null for a text whose length is known: the
// first byte's two cases are looked for with memchr, the rest compared
// through the fold table.
class TermMatcher {
 public:
  explicit TermMatcher(const char* term) {
    if (term) {
      for (const char* t = term; *t; ++t) term_ += FoldByte(*t);
    }
    if (!term_.empty()) {
      lower_ = term_[0];
      upper_ = lower_ >= 'a' && lower_ <= 'z' ? static_cast<char>(lower_ - 'a' + 'A') : lower_;
    }
  }
  bool FoundIn(const std::string& text) const {
    if (term_.empty() || text.size() < term_.size()) return false;
    // The text ends at its first NUL, as a C text would.
    const char* t = text.c_str();
    const char* const end = t + std::strlen(t);
    const std::size_t n = term_.size();
    while (end - t >= static_cast<std::ptrdiff_t>(n)) {
      const std::size_t left = static_cast<std::size_t>(end - t) - n + 1;
      const char* a = static_cast<const char*>(std::memchr(t, lower_, left));
      const char* b =
          upper_ == lower_ ? nullptr : static_cast<const char*>(std::memchr(t, upper_, left));
      const char* at = !a ? b : !b ? a : std::min(a, b);
      if (!at) return false;
      std::size_t i = 1;
      while (i < n && FoldByte(at[i]) == term_[i]) ++i;
      if (i == n) return true;
      t = at + 1;
    }
    return false;
  }

 private:
  std::string term_;  // folded
  char lower_ = 0;
  char upper_ = 0;
};

// Whether p begins an anchor tag: "<a" and a blank or ">", any case.
bool IsAnchorTag(const char* p) {
  return (p[1] == 'a' || p[1] == 'A') && (IsBlank(p[2]) || p[2] == '>');
}

// The test that turned a link down, asked again in the order the scan asks
// them; only for an observer, so a Hunt never runs it.
AnchorVerdict RejectionOf(bool link, const std::string& href,
                          const std::optional<std::string>& name, const TermMatcher& matcher,
                          bool takes_http, bool exact, const char* term, int type) {
  if (!link) return AnchorVerdict::kNoLink;
  if (!name || !matcher.FoundIn(*name)) return AnchorVerdict::kNoTerm;
  if (!takes_http && !FindNoCase(href.c_str(), "ftp:")) return AnchorVerdict::kNoFtp;
  if (exact && !ExactAccepts(*name, term, type)) return AnchorVerdict::kExactMatch;
  return AnchorVerdict::kAlreadySeen;
}

void TidyString(std::string& s) {
  if (s.empty()) return;
  TidyWhitespace(&s[0]);
  s.resize(std::strlen(s.c_str()));
}

}  // namespace

char* CopyUntilN(char* dst, const char* src, char stop, std::size_t n) {
  if (!dst || !src) return dst;
  std::size_t i = 0;
  for (; i < n && src[i] && src[i] != stop; ++i) dst[i] = src[i];
  dst[i] = '\0';
  return dst;
}

const char* SkipBlanksAndTags(const char* text) {
  if (!text) return nullptr;
  for (;;) {
    if (*text == ' ' || *text == '\r' || *text == '\n') {
      ++text;
    } else if (*text == '<') {
      const char* gt = std::strchr(text, '>');
      if (!gt) return text;
      text = gt + 1;
    } else {
      return text;
    }
  }
}

char* SkipBlanksAndTags(char* text) {
  return const_cast<char*>(SkipBlanksAndTags(static_cast<const char*>(text)));
}

char* TidyWhitespace(char* text) {
  if (!text) return nullptr;
  // Most texts (every href, nearly every name) hold no line feed, tab nor
  // CR and no pair of blanks: strcspn finds the first place that needs
  // work. No blank in front of it starts a pair, so the pairing may start
  // there.
  char* from = text;
  for (;;) {
    from += std::strcspn(from, " \n\t\r");
    if (!*from) return text;
    if (*from != ' ' || from[1] == ' ' || from[1] == '\n' || from[1] == '\t' || from[1] == '\r') {
      break;
    }
    ++from;
  }
  // Line feeds, tabs and CRs become blanks; then, from the left, each pair
  // of blanks becomes one and the look goes on behind it. One pass, so
  // that a long run of blanks is not moved up once per pair.
  for (char* c = from; *c; ++c) {
    if (*c == '\n' || *c == '\t' || *c == '\r') *c = ' ';
  }
  char* out = from;
  for (const char* in = from; *in;) {
    if (in[0] == ' ' && in[1] == ' ') {
      *out++ = ' ';
      in += 2;
    } else {
      *out++ = *in++;
    }
  }
  *out = '\0';
  return text;
}

bool RunExtractionRule(int type, char* page, char*& p, const std::string& name, HitFields& f) {
  Cursor c{page, p};
  const bool complete = type == 5 ? RunRuleFive(c, f) : RunRule(type, c, name, f);
  p = c.p;
  return complete;
}

int ParseResultPage(char* page, std::size_t length, int type, const char* term, bool exact,
                    std::unique_ptr<SeenNode>& seen, const PageHitSink& on_hit,
                    ParseObserver* observer) {
  if (!page) return 0;
  // page[length] is the caller's terminator; setting it again costs nothing
  // and keeps every scan below inside the buffer whatever the bytes are.
  // An earlier NUL ends the page.
  page[length] = '\0';

  int accepted = 0;
  const bool takes_http = type == 11 || type == 12 || type == 13;
  // Their rules make the location from more than the href.
  const bool builds_location = takes_http;

  // Anchors of this page that already became hits, in order. A rule may
  // leave the scan in front of its own link; meeting that link again must
  // count it as seen even when its href was changed on the way into the
  // store (tidied blanks, a location built from page text), or the scan
  // would make the same hit again and again.
  std::vector<std::size_t> hit_anchors;

  // Every search that may run far from where it starts goes through the
  // scanner, which remembers what it found: a page is read in time linear
  // in its size whatever it holds.
  LinkScanner links(page);
  const TermMatcher matcher(term);
  const auto next_semicolon = [&links](char* from) {
    return const_cast<char*>(links.Next(from, ';'));
  };
  // Kept from one candidate link to the next, so that a link that is no
  // hit costs no allocation.
  std::string href;
  std::optional<std::string> name;
  char* last_hit = nullptr;  // the anchor of the last hit
  char* p = page;
  while (p && *p) {
    if (*p == '&') {
      char* semi = next_semicolon(p);
      p = semi ? semi : p + 1;
      continue;
    }
    if (IsBlank(*p)) {
      while (IsBlank(*p)) ++p;
      continue;
    }
    if (*p != '<') {
      for (;;) {
        p += std::strcspn(p, "<&");
        if (*p != '&') break;
        char* semi = next_semicolon(p);
        p = semi ? semi + 1 : p + 1;
      }
      continue;
    }

    // A rule that leaves the scan in front of its own anchor (types 1, 3, 6
    // and 8 do) meets that link again next: it is accepted again, as a hit
    // of this page, without being extracted anew. (Type 5 may have cut the
    // page behind it, and an observer hears the whole verdict.)
    if (p == last_hit && type != 5 && !observer) {
      ++accepted;
      const char* gt = links.TagEnd(p);
      p = gt ? const_cast<char*>(gt) + 1 : nullptr;
      continue;
    }

    // A "<": is it a link to a file we are looking for?
    bool take = false;
    const bool link = links.Extract(p, href, name) != 0;
    if (link && name && matcher.FoundIn(*name) &&
        (takes_http || FindNoCase(href.c_str(), "ftp:"))) {
      take = !exact || ExactAccepts(*name, term, type);
    }
    const std::size_t anchor = static_cast<std::size_t>(p - page);
    auto anchor_at = hit_anchors.end();
    // Set when the look-up already stored the href as the hit's location.
    bool stored = false;
    if (take) {
      anchor_at = std::lower_bound(hit_anchors.begin(), hit_anchors.end(), anchor);
      if (anchor_at != hit_anchors.end() && *anchor_at == anchor) {
        take = false;
      } else if (!builds_location && std::strcspn(href.c_str(), " \n\t\r") == href.size()) {
        // The location will be the href as it is (no blank to tidy, no
        // rule that builds it): look it up and store it in one walk.
        stored = SeenTreeAdd(seen, href.c_str(), 1);
        take = stored;
      } else {
        take = !SeenTreeLookup(seen.get(), href.c_str());
      }
      if (!take) ++accepted;
    }
    if (!take) {
      if (observer && (link || IsAnchorTag(p))) {
        // href and name still hold the last link's when this is none.
        static const std::string kNone;
        observer->Anchor({RejectionOf(link, href, name, matcher, takes_http, exact, term, type),
                          anchor, link ? href : kNone, link && name ? *name : kNone, kNone, "", "",
                          false});
      }
      const char* gt = links.TagEnd(p);
      p = gt ? const_cast<char*>(gt) + 1 : nullptr;
      continue;
    }

    // A new hit.
    hit_anchors.insert(anchor_at, anchor);
    last_hit = p;
    TidyString(href);
    TidyString(*name);
    if (name->size() > kHitNameMax) name->resize(kHitNameMax);

    HitFields f;
    // The href is not read again, but by an observer.
    if (observer) {
      f.location = href;
    } else {
      f.location = std::move(href);
    }
    const bool complete = RunExtractionRule(type, page, p, *name, f);
    if (!complete) p = nullptr;
    if (type == 5) links.Forget();  // the rule may have cut the page
    ++accepted;
    // The location may differ from the href looked up above (tidied blanks,
    // a service's prefix, a location built from page text), so an earlier
    // page may have made it a hit already: one location is one hit.
    const bool seen_before = !stored && !SeenTreeAdd(seen, f.location.c_str(), 1);
    if (!seen_before && !IsDigit(f.size[0])) f.size[0] = '\0';
    if (observer) {
      observer->Anchor({seen_before ? AnchorVerdict::kAlreadySeen : AnchorVerdict::kHit, anchor,
                        href, *name, f.location, f.size, f.date, !complete});
    }
    if (seen_before) continue;
    if (on_hit) on_hit(std::move(*name), std::move(f.location), f.size, f.date);
  }
  return accepted;
}
