// The page parser against a plain reference of its scan: every anchor
// looked at afresh with ExtractLink, case folded by tolower one character
// at a time, the seen set a std::set. Both share only the per-type rules.
// Pages are result rows of every engine type mixed with the pieces that
// steer the scan (entities, stray tags, quotes, blanks, NULs), and the two
// must agree on every hit, in order, and on the accepted count.
#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <memory>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "results/links.h"
#include "results/parser.h"
#include "results/parser_rules.h"
#include "results/store.h"

namespace {

bool Blank(char c) {
  return std::isspace(static_cast<unsigned char>(c)) != 0;
}

const char* SlowFindNoCase(const char* text, const char* pattern) {
  for (const char* t = text; *t; ++t) {
    std::size_t i = 0;
    while (pattern[i] && t[i] &&
           std::tolower(static_cast<unsigned char>(t[i])) ==
               std::tolower(static_cast<unsigned char>(pattern[i]))) {
      ++i;
    }
    if (!pattern[i]) return t;
  }
  return nullptr;
}

std::string Tidy(std::string s) {
  std::vector<char> b(s.begin(), s.end());
  b.push_back('\0');
  return TidyWhitespace(b.data());
}

bool SameNoCase(const char* a, const char* b) {
  for (; *a || *b; ++a, ++b) {
    if (std::tolower(static_cast<unsigned char>(*a)) !=
        std::tolower(static_cast<unsigned char>(*b))) {
      return false;
    }
  }
  return true;
}

bool Exact(const std::string& name, const char* term, int type) {
  return SameNoCase(name.c_str(), term) || type == 5 ||
         (name[0] == '/' && SameNoCase(name.c_str() + 1, term));
}

// Hits as "name|size|date|location", then "accepted=N".
std::vector<std::string> Reference(std::vector<char> page, int type, const char* term, bool exact,
                                   std::set<std::string>& seen) {
  std::vector<std::string> out;
  int accepted = 0;
  std::set<std::size_t> anchors;
  char* p = page.data();
  while (p && *p) {
    if (*p == '&') {
      char* semi = std::strchr(p, ';');
      p = semi ? semi : p + 1;
      continue;
    }
    if (Blank(*p)) {
      ++p;
      continue;
    }
    if (*p != '<') {
      while (*p && *p != '<') {
        char* semi = *p == '&' ? std::strchr(p, ';') : nullptr;
        p = semi ? semi + 1 : p + 1;
      }
      continue;
    }
    std::string href;
    std::optional<std::string> name;
    bool take = ExtractLink(p, href, name) && name && SlowFindNoCase(name->c_str(), term) &&
                (type == 11 || type == 12 || type == 13 || SlowFindNoCase(href.c_str(), "ftp:")) &&
                (!exact || Exact(*name, term, type));
    const std::size_t anchor = static_cast<std::size_t>(p - page.data());
    if (take && (anchors.count(anchor) || seen.count(href))) {
      ++accepted;
      take = false;
    }
    if (!take) {
      const char* gt = FindOutsideQuotes(p, '>');
      p = gt ? const_cast<char*>(gt) + 1 : nullptr;
      continue;
    }
    anchors.insert(anchor);
    std::string n = Tidy(*name).substr(0, kHitNameMax);
    HitFields f;
    f.location = Tidy(href);
    if (!RunExtractionRule(type, page.data(), p, n, f)) p = nullptr;
    ++accepted;
    if (!seen.insert(f.location).second) continue;
    if (!std::isdigit(static_cast<unsigned char>(f.size[0]))) f.size[0] = '\0';
    out.push_back(n + "|" + f.size + "|" + f.date + "|" + f.location);
  }
  out.push_back("accepted=" + std::to_string(accepted));
  return out;
}

std::vector<std::string> Parser(std::vector<char> page, int type, const char* term, bool exact,
                                std::unique_ptr<SeenNode>& seen) {
  std::vector<std::string> out;
  const int accepted = ParseResultPage(
      page.data(), page.size() - 1, type, term, exact, seen,
      [&out](std::string name, std::string location, const char* size, const char* date) {
        out.push_back(name + "|" + size + "|" + date + "|" + location);
      });
  out.push_back("accepted=" + std::to_string(accepted));
  return out;
}

// One result row in the layout of `type` (the demo engines' layouts), for
// file `name` on mirror `host`.
std::string Row(int type, const std::string& host, const std::string& name, int i) {
  const std::string loc = "ftp://" + host + "/pub/" + name;
  const std::string a = "<a href=\"" + loc + "\">" + name + "</a>";
  const std::string size = std::to_string(1000 + i), date = "2026-07-1" + std::to_string(i % 10);
  switch (type) {
    case 0:
      return "<a href=\"" + loc + "\">" + name + " </a>" + size + "<br>\n";
    case 2:
    case 15:
      return "<tr><td>" + a + "</td><td>" + size + "</td><td>" + date + "</td></tr>\n";
    case 4:
      return "<a href=\"" + loc + "\">" + size + " (" + date + ") " + host + "/" + name +
             "</a><br>\n";
    case 5:
      return "<dt>" + a + "\n<dd>Size: <b>" + size + "</b> Date: <b>" + date + "</b><href>\n";
    case 6:
      return "<br>" + size + " " + date + " " + a + "\n";
    case 7:
      return a + " FILE " + size + "\tJul 1" + std::to_string(i % 10) + " 2026<br>\n<small>" +
             host + "</small><br>\n";
    case 9:
      return "<br>file " + size + " " + date + " " + a + "\n";
    case 10:
      return "<tr><td>" + a + "</td><td>" + size + "</td><td>- " + date + "</td></tr>\n";
    case 11:
      return "<br><i>ftp://" + host + "/pub/</i> " + size + " " + date + " " + a + "\n";
    case 12:
      return "<li><a href=\"/file/" + name + "\">" + name + "</a><td>" + size + "</td>\n";
    case 13:
      return "<li><a href=\"get.cgi?f=" + name + "\">" + name + "</a><br>\n";
    case 14:
      return "<tr><td>" + a + "</td><td><b>" + size + "<br>" + date + "</b></td></tr>\n";
    case 16:
      return "<li>" + a + " <i>" + size + " " + date + "</i><br>\n";
    default:
      return "<li>" + a + "<br>\n";
  }
}

TEST(ParserReference, AgreesOnEveryTypeAndOnHostilePieces) {
  const char* const kPieces[] = {"&amp;",
                                 "&",
                                 ";",
                                 " ",
                                 "\t\n",
                                 "<b>",
                                 "</a>",
                                 "<",
                                 ">",
                                 "\"",
                                 "'",
                                 "#",
                                 "<A  HREF=ftp://x/deb.a>",
                                 "DEB",
                                 "<a href=\"http://h/deb\">deb</a>",
                                 "FILE",
                                 "<br>",
                                 "<BR>",
                                 "Size:",
                                 "<href",
                                 ""};  // "": a NUL
  const char* const kNames[] = {"deb",
                                "a.deb",
                                "Deb_1.0.DEB",
                                "readme",
                                "x deb  y.deb",
                                "dir/deb-2.tar.gz",
                                "&lt;deb&gt;.txt"};
  const char* const kTerms[] = {"deb", "DEB", "a.deb", "e"};
  std::mt19937 random(12);
  for (int round = 0; round < 600; ++round) {
    const int type = round % 18 - (round % 37 == 0 ? 1 : 0);  // and an unknown type
    std::string page = "<html><body>\n";
    const std::string host = "ftp" + std::to_string(random() % 3) + ".example";
    for (int i = 0, n = static_cast<int>(random() % 40); i < n; ++i) {
      page += Row(type, host, kNames[random() % (sizeof kNames / sizeof *kNames)], i);
      for (int k = 0, m = random() % 4 ? 0 : static_cast<int>(random() % 4); k < m; ++k) {
        const char* piece = kPieces[random() % (sizeof kPieces / sizeof *kPieces)];
        page += *piece ? std::string(piece) : std::string(1, '\0');
      }
    }
    page += "</body></html>\n";
    std::vector<char> bytes(page.begin(), page.end());
    bytes.push_back('\0');
    const char* term = kTerms[random() % (sizeof kTerms / sizeof *kTerms)];
    const bool exact = random() % 2;
    // Two pages into one seen set, as the pages of one Hunt.
    std::set<std::string> seen_ref;
    std::unique_ptr<SeenNode> seen;
    for (int again = 0; again < 2; ++again) {
      ASSERT_EQ(Parser(bytes, type, term, exact, seen),
                Reference(bytes, type, term, exact, seen_ref))
          << "type " << type << " term " << term << " exact " << exact << "\n"
          << page;
    }
  }
}

}  // namespace
