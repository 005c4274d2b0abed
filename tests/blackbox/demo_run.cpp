// The whole job of the wizard, run from outside on a machine without a
// display (./orvane run under Xvfb): starts the installed program, analyses
// the demo drive D: to "Finish", photographs the finished page, and prints
// where that picture and the drive's new report page are, as host paths,
// one "name=path" a line. Exit code 0 when the run finished and its report
// exists.
#include <shlobj.h>
#include <windows.h>

#include <cstdio>
#include <filesystem>

#include "program_under_test.h"
#include "wizard/control_ids.h"

namespace orvane::blackbox {
namespace {

constexpr milliseconds kRunPatience{300000};

std::filesystem::path ReportsFolder() {
    unique_cotaskmem_string base;
    if (FAILED(::SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, base.put()))) return {};
    return std::filesystem::path(base.get()) / L"Mevrak" / L"Orvane Analyzer" / L"Reports";
}

// The newest page of a report of drive D: ("D-20261208-151530.html").
std::filesystem::path NewestPageOfD() {
    std::filesystem::path newest;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(ReportsFolder(), error)) {
        const std::wstring name = entry.path().filename().wstring();
        if (name.rfind(L"D-", 0) == 0 && entry.path().extension() == L".html" &&
            (newest.empty() || name > newest.filename().wstring()))
            newest = entry.path();
    }
    return newest;
}

// A path of this process as the host names it: under Wine the Unix path.
std::string HostPath(const std::wstring& path) {
    using ToUnix = char*(CDECL*)(const WCHAR*);
    const auto to_unix = reinterpret_cast<ToUnix>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (to_unix) {
        if (char* unix_path = to_unix(path.c_str())) {
            std::string result = unix_path;
            ::HeapFree(::GetProcessHeap(), 0, unix_path);
            return result;
        }
    }
    return Narrow(path);
}

int Fail(const char* what) {
    std::fprintf(stderr, "demo run: %s\n", what);
    return 1;
}

int RunDemo(const std::wstring& program_path) {
    ProgramUnderTest program(StartOptions().Installed(program_path));
    if (!program.failure().empty()) return Fail(program.failure().c_str());
    if (!program.WaitUntilReady()) return Fail("the wizard did not come up");
    if (!CheckOnly(program, L"D")) return Fail("the drive list has no drive D:");
    Click(program.Control(ids::cmdNext));
    const bool finished = WaitUntil(
        [&] {
            return Text(program.Control(ids::cmdCancel)) == L"Finish" ||
                   !program.process().Running();
        },
        kRunPatience);
    if (!finished || Text(program.Control(ids::cmdCancel)) != L"Finish")
        return Fail("the run did not reach Finish");
    ::Sleep(300);  // let the finished page paint before the picture is taken
    const auto picture = SaveScreenshot(L"run-finished", WindowRect(program.wizard()));
    const std::filesystem::path page = NewestPageOfD();
    Click(program.Control(ids::cmdCancel));
    program.WaitForExit();
    if (!picture) return Fail("no picture of the finished page (ORVANE_SCREENSHOTS)");
    if (page.empty()) return Fail("the run left no report page of D:");
    std::printf("finished-page=%s\nreport-page=%s\n", HostPath(*picture).c_str(),
                HostPath(page.wstring()).c_str());
    return 0;
}

}  // namespace
}  // namespace orvane::blackbox

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: orvane_demo_run PROGRAM.exe\n");
        return 2;
    }
    return orvane::blackbox::RunDemo(orvane::blackbox::Widen(argv[1]));
}
