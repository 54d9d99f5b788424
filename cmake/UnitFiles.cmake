# The simulated unit's file and record helpers, shared by the test fixture,
# the benchmarks and the fuzz harness. Whichever of them is configured first
# defines the target, so every combination of SYSDATA_BUILD_TESTS, _BENCH and
# _FUZZ finds it. No test framework in it: the benchmarks and the fuzz
# binaries have their own main.
include_guard(GLOBAL)
add_library(sysdata_unitfiles STATIC ${PROJECT_SOURCE_DIR}/tests/support/UnitFiles.cpp)
target_include_directories(sysdata_unitfiles PUBLIC ${PROJECT_SOURCE_DIR})
# Only the stand-in: the segment template and the record layout are headers.
target_link_libraries(sysdata_unitfiles PUBLIC tqplatform)
sysdata_warnings(sysdata_unitfiles)
