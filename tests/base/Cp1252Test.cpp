#include <gtest/gtest.h>

#include "base/Cp1252.h"
#include "base/Utf8.h"

namespace wavorax {
namespace {

TEST(Cp1252, InvalidUtf8BecomesQuestionMarksOnePerByte) {
  EXPECT_EQ(Utf8ToCp1252("a\xFF"
                         "b\xC3"),
            "a?b?");
  EXPECT_EQ(Utf8ToCp1252("\xC0\xAF"), "??");  // overlong '/'
  EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));  // a surrogate
  EXPECT_TRUE(IsValidUtf8("\xF0\x9F\x8E\xB5"));
}

}  // namespace
}  // namespace wavorax
