// A small well-formedness check of RTF documents: the header, balanced
// groups and well-formed control words and symbols.
#pragma once

#include <string>
#include <string_view>

namespace test {

// The first problem found in `rtf`, or the empty text when there is none.
std::string rtf_problem(std::string_view rtf);

}  // namespace test
