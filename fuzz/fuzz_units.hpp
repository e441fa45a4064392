// What the units targets do once a units file is loaded: the first words of
// the text analysed and converted as units, alone and in pairs.
#pragma once

#include <string>
#include <vector>

#include "tables/kiv_units.h"
#include "fuzz/fuzz_support.hpp"

namespace kiv::fuzz {

inline void analyseUnits(const std::string &text) {
  std::vector<std::string> words;
  for (const auto &w : split(text, " \t\n"))
    if (words.size() < 12) words.push_back(w.substr(0, 80));
  double f = 0, o = 0;
  int e[KIV_UNIT_DIMENSIONS];
  for (size_t i = 0; i < words.size(); ++i) {
    ExtractConvFact(words[i].c_str(), &f, &o);
    GetConvFactAndBase(words[i].c_str(), &f, &o, e);
    const KIVUnit *u = nullptr;
    GetConvFactForToken(words[i].c_str(), &f, &u);
    if (i + 1 < words.size()) {
      GetConvFactFromU1toU2(words[i].c_str(), words[i + 1].c_str(), &f, &o);
      AreUnitsHomogeneous(words[i].c_str(), words[i + 1].c_str());
    }
  }
}

}  // namespace kiv::fuzz
