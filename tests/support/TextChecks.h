#pragma once

// Checks on the programs' own texts (read-me texts, captions).

#include <string>
#include <vector>

namespace test {

// The text's lines, split at line feeds.
std::vector<std::string> linesOf(const std::string& text);

// The first web address, domain name or mail address in the text; empty when there is none.
std::string firstAddressIn(const std::string& text);

} // namespace test
