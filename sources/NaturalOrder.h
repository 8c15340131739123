// The order a file manager shows a folder in: numbers by their value ("2" before "10"), case
// folded, and the locale's collation elsewhere, through ICU's numeric collation.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace wavorax {

class NaturalOrder {
 public:
  // The collator of the user's locale; one object serves one thread.
  NaturalOrder();
  ~NaturalOrder();
  NaturalOrder(const NaturalOrder&) = delete;
  NaturalOrder& operator=(const NaturalOrder&) = delete;

  // A key whose byte order is the natural order of the names; names that collate equal
  // (differing in case only) keep their byte order, so the order is the same every time.
  std::string Key(std::string_view name) const;

 private:
  struct Collator;
  std::unique_ptr<Collator> collator_;
};

}  // namespace wavorax
