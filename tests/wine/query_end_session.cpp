// Asks the launcher's catalogue window whether the session may end, as Windows does when the user
// logs off, and waits for the answer. Exit status: 0 allowed, 1 refused, 2 no such window,
// 3 no answer in time.
#include <windows.h>

int main() {
  HWND window = nullptr;
  for (int tries = 0; tries < 100 && !window; ++tries) {
    window = ::FindWindowW(L"SorvantaWindow", L"  Catalogo Veltrano");
    if (!window) ::Sleep(100);
  }
  if (!window) return 2;
  DWORD_PTR answer = 0;
  if (!::SendMessageTimeoutW(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_NORMAL, 60000, &answer)) {
    return 3;
  }
  return answer ? 0 : 1;
}
