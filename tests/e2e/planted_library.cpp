// A library planted where the installer must never load it from: were it loaded, its constructor
// would end the process at once with a status of its own.
#include <unistd.h>

namespace {

[[gnu::constructor]] void planted() {
  ::_exit(97);
}

}  // namespace
