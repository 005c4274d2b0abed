#include "program_under_test.h"

#include "wizard/control_ids.h"

#include <commctrl.h>

namespace orvane::blackbox {
namespace {

// Where CMake built the program and the stand-ins.
std::wstring BuiltFile(const char* hostPath) { return HostPathToWindows(hostPath); }

}  // namespace

ProgramUnderTest::ProgramUnderTest(const StartOptions& options)
    : log_(folder_.File(L"standin.log")), realComponents_(options.realComponents) {
    if (!options.installedProgram.empty()) {
        const std::wstring& exe = options.installedProgram;
        process_ = Process::Start(exe, exe.substr(0, exe.rfind(L'\\')), {});
        if (!process_) failure_ = "cannot start " + Narrow(exe);
        return;
    }
    const std::wstring exe = folder_.File(L"OrvaneAnalyzer.exe");
    if (!folder_.CopyIn(BuiltFile(ORVANE_PROGRAM_PATH), L"OrvaneAnalyzer.exe")) {
        failure_ = "cannot copy the program from " ORVANE_PROGRAM_PATH;
        return;
    }
    const char* styleman =
        options.realComponents ? ORVANE_REAL_STYLEMAN_PATH : ORVANE_STANDIN_STYLEMAN_PATH;
    const char* engine =
        options.realComponents ? ORVANE_REAL_ENGINE_PATH : ORVANE_STANDIN_ENGINE_PATH;
    if (options.withStyleman && !folder_.CopyIn(BuiltFile(styleman), L"Styleman.dll")) {
        failure_ = "cannot copy the style manager stand-in";
        return;
    }
    if (options.withEngine && !folder_.CopyIn(BuiltFile(engine), L"AnalysisEngine.dll")) {
        failure_ = "cannot copy the engine stand-in";
        return;
    }
    if (!folder_.WriteText(L"script.txt", options.script)) {
        failure_ = "cannot write the stand-in script";
        return;
    }
    process_ = Process::Start(exe, folder_.path(),
                              {{L"ORVANE_STANDIN_LOG", log_.path()},
                               {L"ORVANE_STANDIN_SCRIPT", folder_.File(L"script.txt")}});
    if (!process_) failure_ = "cannot start the program";
}

HWND ProgramUnderTest::WaitForWizard(milliseconds timeout) {
    WaitUntil([&] { return (wizard_ = FindWizard(process_->id())) != nullptr; }, timeout);
    return wizard_;
}

HWND ProgramUnderTest::WaitUntilReady(milliseconds timeout) {
    const bool ready = WaitUntil(
        [&] {
            wizard_ = FindWizard(process_->id());
            if (!wizard_) return false;
            const HWND list = Control(ids::lvwDrives);
            // The real engine logs nothing: its creation is the last step of
            // start-up, and Settle below waits for start-up to be over.
            return list && DriveList().Count() > 0 && Enabled(Control(ids::cmdNext)) &&
                   (realComponents_ || log_.Contains("engine", "New"));
        },
        timeout);
    if (ready && realComponents_ && !Settle(*this)) return nullptr;
    return ready ? wizard_ : nullptr;
}

HWND ProgramUnderTest::Control(int id) const {
    return wizard_ ? FindControl(wizard_, id) : nullptr;
}

RemoteListView ProgramUnderTest::DriveList() const {
    return RemoteListView(Control(ids::lvwDrives), process_->handle());
}

void ProgramUnderTest::Release(const std::string& operation, int call) const {
    folder_.WriteText(L"release." + Widen(operation) + L"." + std::to_wstring(call), "");
}

bool ProgramUnderTest::WaitForEngineCall(const std::string& call, milliseconds timeout) const {
    return WaitUntil([&] { return log_.Contains("engine", call); }, timeout);
}

std::optional<MessageBoxInfo> WaitForBox(const ProgramUnderTest& program, milliseconds timeout) {
    return WaitForMessageBox(program.process().id(), timeout);
}

bool TestDrivesPrepared() { return !EnvironmentValue(L"ORVANE_TESTDRIVES").empty(); }

}  // namespace orvane::blackbox

namespace orvane::blackbox {

bool CheckOnly(const ProgramUnderTest& program, const std::wstring& letters) {
    const RemoteListView list = program.DriveList();
    std::vector<DriveEntry> entries = ReadDriveList(list);
    for (wchar_t letter : letters) {
        if (!FindDrive(entries, letter)) return false;
    }
    for (const DriveEntry& entry : entries) {
        const bool wanted = entry.letter && letters.find(entry.letter) != std::wstring::npos;
        if (entry.checked != wanted) list.SetChecked(entry.index, wanted);
    }
    for (const DriveEntry& entry : ReadDriveList(list)) {
        const bool wanted = entry.letter && letters.find(entry.letter) != std::wstring::npos;
        if (entry.checked != wanted) return false;
    }
    return true;
}

bool OnDrivePage(const ProgramUnderTest& program) {
    return Visible(program.Control(ids::frmDrives)) && !Visible(program.Control(ids::frmProgress));
}

bool OnProgressPage(const ProgramUnderTest& program) {
    return Visible(program.Control(ids::frmProgress)) && !Visible(program.Control(ids::frmDrives));
}

bool Settle(const ProgramUnderTest& program) {
    DWORD_PTR result = 0;
    return ::SendMessageTimeoutW(program.wizard(), WM_NULL, 0, 0, SMTO_NORMAL,
                                 static_cast<UINT>(kPatience.count()), &result) != 0;
}

bool FlushPosted(const ProgramUnderTest& program) {
    const HWND bar = program.Control(ids::pbDiskProgress);
    const int before = ProgressPosition(bar);
    // Twice: the first round lets key messages post their characters.
    for (int marker : {42, 43}) {
        ::PostMessageW(bar, PBM_SETPOS, marker, 0);
        if (!WaitUntil([&] { return ProgressPosition(bar) == marker; })) return false;
    }
    DWORD_PTR result = 0;
    ::SendMessageTimeoutW(bar, PBM_SETPOS, before, 0, SMTO_NORMAL, 5000, &result);
    return true;
}

}  // namespace orvane::blackbox
