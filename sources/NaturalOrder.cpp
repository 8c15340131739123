#include "sources/NaturalOrder.h"

#include <unicode/ucol.h>
#include <unicode/uloc.h>
#include <unicode/ustring.h>

#include <cstring>

namespace wavorax {

struct NaturalOrder::Collator {
  UCollator* handle = nullptr;
  ~Collator() {
    if (handle) ucol_close(handle);
  }
};

NaturalOrder::NaturalOrder() : collator_(std::make_unique<Collator>()) {
  UErrorCode status = U_ZERO_ERROR;
  // The locale of the environment; without one (LANG unset, "C" or "POSIX") ICU would order
  // by code point, upper case first, so the root collation stands in.
  const char* locale = uloc_getDefault();
  if (!locale || std::strncmp(locale, "en_US_POSIX", 11) == 0) locale = "";
  collator_->handle = ucol_open(locale, &status);
  if (U_FAILURE(status)) {
    if (collator_->handle) ucol_close(collator_->handle);
    collator_->handle = nullptr;
    return;
  }
  ucol_setAttribute(collator_->handle, UCOL_NUMERIC_COLLATION, UCOL_ON, &status);
  // Secondary strength: accents count, case does not.
  ucol_setAttribute(collator_->handle, UCOL_STRENGTH, UCOL_SECONDARY, &status);
}

NaturalOrder::~NaturalOrder() = default;

std::string NaturalOrder::Key(std::string_view name) const {
  std::string key;
  if (collator_->handle) {
    // File names are bytes; a byte that is no UTF-8 becomes U+FFFD for collating, and the
    // bytes themselves break the tie below.
    std::u16string text(name.size() + 1, u'\0');
    int32_t length = 0;
    UErrorCode status = U_ZERO_ERROR;
    u_strFromUTF8WithSub(reinterpret_cast<UChar*>(text.data()), static_cast<int32_t>(text.size()),
                         &length, name.data(), static_cast<int32_t>(name.size()), 0xFFFD, nullptr,
                         &status);
    if (U_SUCCESS(status)) {
      text.resize(static_cast<std::size_t>(length));
      const auto* u = reinterpret_cast<const UChar*>(text.data());
      int32_t size = ucol_getSortKey(collator_->handle, u, length, nullptr, 0);
      key.resize(static_cast<std::size_t>(size));
      size = ucol_getSortKey(collator_->handle, u, length, reinterpret_cast<uint8_t*>(key.data()),
                             size);
      // The key ends in a zero byte, which keeps a key from being a prefix of the tie-break.
      key.resize(static_cast<std::size_t>(size));
    }
  }
  key.append(name);
  return key;
}

}  // namespace wavorax
