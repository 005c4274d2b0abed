// The process: a single-threaded apartment running Main, then the message
// loop until the wizard has been unloaded.
#include <windows.h>

#include "app/mMain.h"
#include "support/app_error.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    using namespace orvane;
    // A drive without a medium answers with an error code, not a system box.
    ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    return GuardBoundary([]() -> int {
        scoped_com_apartment apartment(COINIT_APARTMENTTHREADED);
        ThrowIfFailed(apartment.result());
        Main();
        const int exit_code = RunMessageLoop();
        // The components go before the apartment that created them.
        objStyleman.reset();
        objEngine.reset();
        return exit_code;
    });
}
