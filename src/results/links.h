// Anchors on an engine's page: the link target and a file name made from
// the link's visible text.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

// Caps of the work buffer: an href is cut to this many characters, and so
// is the raw link text (which then needs one more byte for the terminator).
constexpr std::size_t kLinkTextMax = 2048;
constexpr std::size_t kLinkBufferSize = kLinkTextMax + 1;

// When an anchor with a usable href (no "#") begins at p: sets href, sets
// name to the cleaned link text or leaves it empty when the anchor has no
// readable text, and returns 1. Otherwise returns 0 and sets nothing.
// p must point into a NUL-terminated text.
int ExtractLink(const char* p, std::string& href, std::optional<std::string>& name);

// ExtractLink over the anchors of one page, in time linear in the page.
// Each search ExtractLink makes (the next quote, ">", ";", "<" or "/A", the
// end of a tag, the start of a link text) runs from every anchor to
// wherever the page has what it seeks; on a page of anchors that never
// close that is the end of the page, every time. The scanner remembers
// what it found, so each part of the page is searched about once
// whatever order the anchors come in. Results are ExtractLink's.
class LinkScanner {
 public:
  // page must be NUL-terminated and stay in place while the scanner is used.
  explicit LinkScanner(const char* page);
  LinkScanner(const LinkScanner&) = delete;
  LinkScanner& operator=(const LinkScanner&) = delete;

  // ExtractLink(p, href, name) for a p in the page.
  int Extract(const char* p, std::string& href, std::optional<std::string>& name);
  // FindOutsideQuotes(p, '>') for a p in the page.
  const char* TagEnd(const char* p);
  // The first c at or after p in the page (strchr), c not NUL.
  const char* Next(const char* p, char c);
  // To be called when the page has been cut short (a NUL written into it):
  // what was remembered beyond the cut no longer holds.
  void Forget();

 private:
  // The next position from p, up to the page's end, where a match starts;
  // remembers the last answer and the stretch in front of it known to hold
  // none, so searches from nearby positions cost nothing.
  class NextOf {
   public:
    using Match = const char* (*)(const char* from, const char* to);  // first match or `to`
    explicit NextOf(Match match) : match_(match) {}
    const char* Find(const char* p, const char* end);
    void Forget() { clear_ = nullptr; }

   private:
    Match match_;
    const char* clear_ = nullptr;  // no match in [clear_, found_)
    const char* found_ = nullptr;  // a match, or the page's end
  };

  const char* TextStart(const char* from);
  const char* LastOpenBefore(const char* close);

  const char* page_;
  const char* end_;  // the page's terminator
  NextOf quote_, gt_, semicolon_, lt_, close_;
  std::unordered_map<const char*, const char*> text_starts_;  // TextStart answers by step
  std::unordered_map<const char*, const char*> last_opens_;   // far LastOpenBefore answers
  std::vector<const char*> steps_;                            // TextStart's walk
};

// Turns the raw content of an anchor into a file name, in place; text must
// live in a buffer of at least kLinkBufferSize bytes. An empty text takes
// the part of href behind its last "/". Returns text.
char* CleanLinkText(char* text, const char* href);

// The first c in text that is not inside a quoted run ("..." or '...',
// either of which also ends at a line end), or null.
const char* FindOutsideQuotes(const char* text, char c);
char* FindOutsideQuotes(char* text, char c);

// Replaces every tag by one blank, then decodes character references; in
// place. Returns text.
char* StripTagsAndDecode(char* text);
