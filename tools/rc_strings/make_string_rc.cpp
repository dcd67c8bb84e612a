// Writes the program's string table as an RC STRINGTABLE at build time, so
// that the resources carry exactly the texts of kStringTable and the tree
// keeps no second copy of them.
//   make_string_rc OUTPUT.rc    (without an argument: standard output)
// Built for the target and run there (under Wine when cross-compiling).
#include <cstdio>
#include <string>

#include "util/string_table.h"

namespace {

// One RC string literal. Quotes are doubled (the one quote escape every
// resource compiler reads); backslashes and control characters become
// escapes, the latter in three-digit octal so that a digit behind them is
// never taken into the escape. Bytes from 0x80 up are kept: the file
// declares its code page, and the texts are 8-bit ANSI text.
std::string RcLiteral(const char* text) {
  std::string out = "\"";
  for (const char* p = text; *p != '\0'; ++p) {
    const unsigned char c = static_cast<unsigned char>(*p);
    if (c == '"') {
      out += "\"\"";
    } else if (c == '\\') {
      out += "\\\\";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c < 0x20 || c == 0x7f) {
      char esc[8];
      std::snprintf(esc, sizeof esc, "\\%03o", c);
      out += esc;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

}  // namespace

int main(int argc, char** argv) {
  // Binary mode: the file is the same on every host, with "\n" line ends.
  FILE* out = argc > 1 ? std::fopen(argv[1], "wb") : stdout;
  if (out == nullptr) {
    std::perror(argv[1]);
    return 1;
  }
  std::fputs(
      "/* Written from src/util/string_table.cpp by make_string_rc at build time. */\n"
      "#pragma code_page(1252)\n"
      "STRINGTABLE\nBEGIN\n",
      out);
  for (int i = 0; i < kStringTableSize; ++i) {
    std::fprintf(out, "  %d, %s\n", kStringTable[i].id, RcLiteral(kStringTable[i].text).c_str());
  }
  std::fputs("END\n", out);
  const bool failed = std::ferror(out) != 0;
  if ((out != stdout && std::fclose(out) != 0) || failed) {
    std::fprintf(stderr, "make_string_rc: write failed\n");
    return 1;
  }
  return 0;
}
