// Reads an engine's answer page into file hits. Which text around a link
// is the file's size and date depends on the engine's page layout, chosen
// by its engine type (ENGINE= of engines.dat).
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>

struct SeenNode;

// Hits of engine types 12 and 13 link to http pages of two services; their
// relative hrefs are completed with these addresses. Family B's has no "/"
// at its end because its hrefs begin with one.
constexpr const char kFamilyALocationPrefix[] = "http://www.ftpsearch-a.example/cgi-bin/";
constexpr const char kFamilyBLocationPrefix[] = "http://www.ftpsearch-b.example";

// Size and date texts hold at most this many characters.
constexpr std::size_t kHitFieldMax = 19;
// Names of hits are cut to this many characters.
constexpr std::size_t kHitNameMax = 80;

// Receives each new hit of a page: the cleaned link text (at most
// kHitNameMax characters), the location stored in the seen-URL set, and the
// size and date texts (each at most kHitFieldMax characters; the size is
// empty unless it begins with a digit). name and location are the hit's to
// keep; size and date are valid only during the call.
using PageHitSink =
    std::function<void(std::string name, std::string location, const char* size, const char* date)>;

// What the scan made of one anchor ("<a ..."), for explaining a page to
// whoever writes an engine entry; a Hunt passes no observer.
enum class AnchorVerdict {
  kNoLink,       // no usable href (none, or one holding "#")
  kNoTerm,       // the link text lacks the search term (or there is no text)
  kNoFtp,        // the href lacks "ftp:" and the type takes no http links
  kExactMatch,   // Exact Match is on and the text is not the term
  kAlreadySeen,  // its location is a hit already (this page or an earlier one)
  kHit,          // a new hit
};
struct AnchorNote {
  AnchorVerdict verdict;
  std::size_t offset;  // of the anchor's "<" in the page
  // As the link extraction gave them (empty for kNoLink; text empty when
  // the anchor had none).
  const std::string& href;
  const std::string& text;
  // kHit and a kAlreadySeen found by its rule's location: the hit's
  // location, size and date; otherwise empty.
  const std::string& location;
  const char* size;
  const char* date;
  // kHit: the type's rule found nothing more, so the scan of the page ends
  // with this anchor.
  bool ends_scan;
};
class ParseObserver {
 public:
  virtual ~ParseObserver() = default;
  virtual void Anchor(const AnchorNote& note) = 0;
};

// Reads one engine answer page laid out as engine type `engine_type`: every
// link whose text holds term (ignoring case; with exact, the whole text must
// equal it unless the type is 5) and whose target is an ftp: location (any
// target for types 11 to 13) is accepted. A location not yet in seen is
// added to it and handed to on_hit; one already there (looked up by its
// href, and by the location the type's rule makes of it) is only counted.
// page is writable and page[length] is its terminator; the first NUL ends
// the page, and type 5 writes one NUL into it. Returns the accepted count
// (new hits plus links already seen); 0 for a null page. An observer is told
// the verdict on every anchor.
int ParseResultPage(char* page, std::size_t length, int engine_type, const char* term, bool exact,
                    std::unique_ptr<SeenNode>& seen, const PageHitSink& on_hit,
                    ParseObserver* observer = nullptr);

// Copies from src until stop, the end of src or n characters, whichever
// comes first, and terminates dst (n + 1 bytes). Returns dst; nothing is
// done when either is null.
char* CopyUntilN(char* dst, const char* src, char stop, std::size_t n);
// Skips blanks, CRs and LFs (not tabs) and whole tags; stops at a "<" that
// has no ">" behind it. Null for null.
const char* SkipBlanksAndTags(const char* text);
char* SkipBlanksAndTags(char* text);
// In place: line feeds, tabs and CRs become blanks, then each pair of
// blanks becomes one, searching on behind each replacement (so a run of n
// blanks ends as ceil(n/2)). Returns text.
char* TidyWhitespace(char* text);
