#include "patch/program.h"

#include <new>

#include "patch/errors.h"
#include "patch/form1.h"

namespace ludrimex {
namespace {

constexpr const char* kReportTitle = "Ludrimex";  // the box of an error nobody trapped

int report(System& system, const RunError& error) {
  system.message_box(runtime::error_report(error), kReportTitle, kMbOk | kMbIconError);
  return kFailed;
}

}  // namespace

int run_ludrimex(System& system, const PackageDigests& package) {
  try {
    Form1 form(system, package);
    form.Form_Load();
    return kInstalled;
  } catch (const ProgramEnd& end) {
    return end.status;
  } catch (const RunError& error) {
    return report(system, error);
  } catch (const std::bad_alloc&) {
    return report(system, RunError(kOutOfMemory));
  } catch (const std::exception& error) {
    return report(system, RunError(kInternalError, error.what()));
  }
}

}  // namespace ludrimex
