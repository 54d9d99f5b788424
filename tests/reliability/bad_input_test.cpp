// Faults that hostile input found, each kept as a regression test named after
// it. The inputs themselves live in the fuzz corpus (fuzz/corpus/), which
// every build replays.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <type_traits>

#include "src/customize/CustomizeSysDataProductImpl.h"
#include "standin/testing/LogCapture.h"
#include "tests/reliability/ReliabilitySupport.h"

namespace {

// Only an enumeration with a fixed underlying type can be list-initialised
// from an integer; for any other, a value outside its enumerators' bit range
// is undefined behaviour.
template <class E, class = void>
struct HasFixedUnderlyingType : std::false_type {};
template <class E>
struct HasFixedUnderlyingType<E, std::void_t<decltype(E{0})>> : std::true_type {};

// The apply pass must take any type value and, for one it does not know,
// apply nothing and log per line. Its enumeration had no fixed underlying
// type, so such a value (7, say) was undefined: the sanitizer stopped the
// fuzzer on the first input.
TEST(BadInputs, ApplyPassTypeOutsideItsEnumeratorsIsAValidValueThatAppliesNothing) {
  static_assert(HasFixedUnderlyingType<CustomizeSysDataProductImpl::InitializeType>::value,
                "every int must be a value of the apply pass's type");
  sysdata_test::SimUnit unit;
  unit.makeSyslog();
  sysdata_test::writeFile(unit.disk(std::string("/Syslog/") + sysdata_test::SimUnit::kCustomizeFileName),
                          "DOP_Customize\n[miclevel]14\n");
  for (int type : {2, 7, INT_MAX, INT_MIN, -1}) {
    SCOPED_TRACE(type);
    standin::testing::ScopedLogCapture capture;
    EXPECT_TRUE(CustomizeSysDataProductImpl().afterInitialize(CustomizeSysDataProductImpl::InitializeType{type}));
    EXPECT_EQ(capture.messages(), std::vector<std::string>(2, "!!! InitializeType Error !!!\n"));
    EXPECT_FALSE(reliability::exists(unit.saveFile("Mic.ini")));
  }
}

}  // namespace
