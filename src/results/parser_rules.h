// The per-engine-type extraction rules of the page parser, on their own:
// the parser's scan and its tests share them.
#pragma once

#include <string>

#include "results/parser.h"

// The texts a rule reads for one new hit; location starts as the link's
// href and is changed by the rules that build it otherwise.
struct HitFields {
  std::string location;
  char size[kHitFieldMax + 1] = "";
  char date[kHitFieldMax + 1] = "";
};

// Runs the rule of engine type `type` with p on the "<" of an accepted
// link's anchor in page (name its tidied text), filling f and moving p to
// where the scan goes on. false when a search of the rule found nothing:
// the scan of the page then ends. Type 5's rule writes a NUL into the page.
bool RunExtractionRule(int type, char* page, char*& p, const std::string& name, HitFields& f);
