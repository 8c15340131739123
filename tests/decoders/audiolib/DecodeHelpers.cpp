#include "tests/decoders/audiolib/DecodeHelpers.h"

#include <cctype>

namespace wavorax::test {

std::string CaseName(const std::string& file) {
  std::string name;
  for (char c : file) name.push_back(std::isalnum(static_cast<unsigned char>(c)) ? c : '_');
  return name;
}

}  // namespace wavorax::test
