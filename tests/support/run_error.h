#pragma once
// The one way the tests catch an error: the number and the file of the RunError a step throws.
#include <functional>
#include <ostream>
#include <string>
#include <utility>

#include "runtime/run_error.h"

namespace runtime {

// Error numbers print in a failed expectation as the reports show them.
inline std::ostream& operator<<(std::ostream& out, ErrorNumber number) {
  return out << value(number);
}

}  // namespace runtime

namespace test_support {

// The number and subject of the RunError `step` throws; number 0 and "" when it throws none.
inline std::pair<runtime::ErrorNumber, std::string> run_error_of(const std::function<void()>& step) {
  try {
    step();
  } catch (const runtime::RunError& error) {
    return {error.number(), error.subject()};
  }
  return {runtime::ErrorNumber{}, ""};
}

}  // namespace test_support
