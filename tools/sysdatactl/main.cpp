// sysdatactl: plays the host of a simulated head unit, so that an engineer
// can see and change the product's settings on a desk, and prepare and check
// dealer customization files.
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <exception>
#include <iostream>
#include <new>
#include <system_error>

#include "Commands.h"
#include "standin/testing/StoreControl.h"

namespace {

void say(const char* text) {
  for (std::size_t left = std::strlen(text); left > 0;) {
    const ssize_t n = ::write(2, text, left);
    if (n <= 0) return;
    text += n;
    left -= static_cast<std::size_t>(n);
  }
}

// The last resort: an exception thrown while another unwinds (a destructor
// that needs memory when there is none) ends in std::terminate, past every
// handler of main. The unit's segments still go, by the power-off that
// needs neither memory nor locks, and the command fails like any other.
[[noreturn]] void onTerminate() {
  standin::testing::RemoveSimSegmentsNow();
  const char* why = "sysdatactl: unexpected failure\n";
  if (std::exception_ptr current = std::current_exception()) {
    try {
      std::rethrow_exception(current);
    } catch (const std::bad_alloc&) {
      why = "sysdatactl: out of memory\n";
    } catch (...) {
    }
  }
  say(why);
  ::_exit(sysdatactl::kExitFailure);
}

}  // namespace

int main(int argc, char** argv) {
  // However a command fails, it ends with a status and a reason: the unit
  // (a HostSession on the stack) is powered off as the exception passes.
  std::set_terminate(onTerminate);
  try {
    sysdatactl::setWaitBudget();
    return sysdatactl::run(argc, argv, sysdatactl::Streams{std::cout, std::cerr});
  } catch (const std::bad_alloc&) {
    std::fputs("sysdatactl: out of memory\n", stderr);
  } catch (const std::system_error& e) {
    std::fprintf(stderr, "sysdatactl: %s\n", e.code().message().c_str());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "sysdatactl: %s\n", e.what());
  } catch (...) {
    std::fputs("sysdatactl: unexpected failure\n", stderr);
  }
  // A command that ran out of memory has not always powered its unit off by
  // the time the exception arrives here (seen under a small address space):
  // this power-off needs neither memory nor locks, and does nothing when the
  // segments are gone already.
  standin::testing::RemoveSimSegmentsNow();
  return sysdatactl::kExitFailure;
}
