#include "results/parser.h"

#include <cctype>
#include <cstring>
#include <optional>
#include <string>
#include <unordered_set>

#include "results/links.h"
#include "results/store.h"
#include "util/text.h"

namespace {

bool IsBlank(char c) {
  return std::isspace(static_cast<unsigned char>(c)) != 0;
}
bool IsDigit(char c) {
  return std::isdigit(static_cast<unsigned char>(c)) != 0;
}
bool IsCapital(char c) {
  return std::isupper(static_cast<unsigned char>(c)) != 0;
}
int Lower(char c) {
  return std::tolower(static_cast<unsigned char>(c));
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

// The texts a rule reads for one new hit.
struct HitFields {
  std::string location;
  char size[kHitFieldMax + 1] = "";
  char date[kHitFieldMax + 1] = "";
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
  if (Lower(n[0]) == Lower(term[0]) && !StrICmp(n, term)) return true;
  if (type == 5) return true;
  return n[0] == '/' && Lower(n[1]) == Lower(term[0]) && !StrICmp(n + 1, term);
}

// FindNoCase(text, term) != null, with the case folding looked up in a
// table made once a page rather than called per character: a link text may
// be 2048 characters long and a page may hold tens of thousands of them.
class TermMatcher {
 public:
  explicit TermMatcher(const char* term) {
    for (int c = 0; c < 256; ++c) lower_[c] = static_cast<unsigned char>(std::tolower(c));
    if (term) {
      for (const char* t = term; *t; ++t) term_ += static_cast<char>(Fold(*t));
    }
  }
  bool FoundIn(const char* text) const {
    if (term_.empty() || !text) return false;
    const char first = term_[0];
    for (const char* t = text; *t; ++t) {
      if (Fold(*t) != first) continue;
      std::size_t i = 1;
      while (i < term_.size() && t[i] && Fold(t[i]) == term_[i]) ++i;
      if (i == term_.size()) return true;
    }
    return false;
  }

 private:
  char Fold(char c) const { return static_cast<char>(lower_[static_cast<unsigned char>(c)]); }

  unsigned char lower_[256];
  std::string term_;  // folded
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
  if (!name || !matcher.FoundIn(name->c_str())) return AnchorVerdict::kNoTerm;
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
  // Line feeds, tabs and CRs become blanks; then, from the left, each pair
  // of blanks becomes one and the look goes on behind it. One pass, so
  // that a long run of blanks is not moved up once per pair.
  for (char* c = text; *c; ++c) {
    if (*c == '\n' || *c == '\t' || *c == '\r') *c = ' ';
  }
  char* out = text;
  for (const char* in = text; *in;) {
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

  // Anchors of this page that already became hits. A rule may leave the
  // scan in front of its own link; meeting that link again must count it
  // as seen even when its href was changed on the way into the store
  // (tidied blanks, a location built from page text), or the scan would
  // make the same hit again and again.
  std::unordered_set<std::size_t> hit_anchors;

  // Every search that may run far from where it starts goes through the
  // scanner, which remembers what it found: a page is read in time linear
  // in its size whatever it holds.
  LinkScanner links(page);
  const TermMatcher matcher(term);
  const auto next_semicolon = [&links](char* from) {
    return const_cast<char*>(links.Next(from, ';'));
  };
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
      while (*p && *p != '<') {
        if (*p == '&') {
          char* semi = next_semicolon(p);
          p = semi ? semi + 1 : p + 1;
        } else {
          ++p;
        }
      }
      continue;
    }

    // A "<": is it a link to a file we are looking for?
    std::string href;
    std::optional<std::string> name;
    bool take = false;
    const bool link = links.Extract(p, href, name) != 0;
    if (link && name && matcher.FoundIn(name->c_str()) &&
        (takes_http || FindNoCase(href.c_str(), "ftp:"))) {
      take = !exact || ExactAccepts(*name, term, type);
    }
    if (take) {
      const std::size_t anchor = static_cast<std::size_t>(p - page);
      if (hit_anchors.count(anchor) || SeenTreeLookup(seen.get(), href.c_str())) {
        ++accepted;
        take = false;
      }
    }
    if (!take) {
      if (observer && (link || IsAnchorTag(p))) {
        static const std::string kNone;
        observer->Anchor({RejectionOf(link, href, name, matcher, takes_http, exact, term, type),
                          static_cast<std::size_t>(p - page), href, name ? *name : kNone, kNone, "",
                          "", false});
      }
      const char* gt = links.TagEnd(p);
      p = gt ? const_cast<char*>(gt) + 1 : nullptr;
      continue;
    }

    // A new hit.
    const std::size_t anchor = static_cast<std::size_t>(p - page);
    hit_anchors.insert(anchor);
    TidyString(href);
    TidyString(*name);
    if (name->size() > kHitNameMax) name->resize(kHitNameMax);

    HitFields f;
    f.location = href;
    Cursor c{page, p};
    const bool complete = type == 5 ? RunRuleFive(c, f) : RunRule(type, c, *name, f);
    p = complete ? c.p : nullptr;
    if (type == 5) links.Forget();  // the rule may have cut the page
    ++accepted;
    // The location may differ from the href looked up above (tidied blanks,
    // a service's prefix, a location built from page text), so an earlier
    // page may have made it a hit already: one location is one hit.
    const bool seen_before = SeenTreeLookup(seen.get(), f.location.c_str()) != 0;
    if (!seen_before) {
      SeenTreeInsert(seen, f.location.c_str(), 1);
      if (!IsDigit(f.size[0])) f.size[0] = '\0';
    }
    if (observer) {
      observer->Anchor({seen_before ? AnchorVerdict::kAlreadySeen : AnchorVerdict::kHit, anchor,
                        href, *name, f.location, f.size, f.date, !complete});
    }
    if (seen_before) continue;
    if (on_hit) on_hit(std::move(*name), std::move(f.location), f.size, f.date);
  }
  return accepted;
}
