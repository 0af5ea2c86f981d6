#pragma once

#include <string>
#include <string_view>

#include "search/SearchControls.h"

namespace qx {

struct SearchSettings;

// Numbers typed into the page's edits are read like atoi: leading white
// space, an optional sign and digits; anything else ends the number and no
// digits give 0. Saturates at the int limits instead of overflowing.
int Atoi(std::string_view text);

// Start's reading of the controls into the process-wide settings. Limits
// whose box is unticked become -1 (no limit); an empty edit beside a ticked
// box keeps the earlier value for connections, describe and engine timing.
void ReadControlSettings(const SearchControls& controls, SearchSettings& settings);

// Above this many connections Start goes on, but warns first.
bool TooManyConnections(const SearchSettings& settings);

// The search, Target, Include and Exclude texts, and the match mode they
// give. False (nothing to search for) when the search text is blank.
bool ReadControlTexts(const SearchControls& controls, SearchSettings& settings);

}  // namespace qx
