// A process for the tests to find by name: copied as Sorvanta.exe, it just stays alive (two
// minutes at most, so that nothing outlives a broken test run).
#include <windows.h>

int main() {
  ::Sleep(120000);
  return 0;
}
