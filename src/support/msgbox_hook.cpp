#include "support/msgbox_hook.h"

#include "orvane/win32_handles.h"

namespace orvane {

namespace {

constexpr wchar_t kDefaultCaption[] = L"Ostrel Messagebox Demo";

// Only one box is up at a time (all boxes are modal on the one UI thread), so
// one hook handle serves every call.
unique_hhook g_hook;
int g_boxes_up = 0;

// Counts a box as up for as long as MessageBox runs.
class BoxUp {
public:
    BoxUp() noexcept { ++g_boxes_up; }
    ~BoxUp() { --g_boxes_up; }
    BoxUp(const BoxUp&) = delete;
    BoxUp& operator=(const BoxUp&) = delete;
};
CenteringTargetProvider g_target_provider = nullptr;

CenteringTarget CurrentTarget() noexcept {
    return g_target_provider ? g_target_provider() : CenteringTarget{};
}

HINSTANCE InstanceOf(HWND hwnd) noexcept {
    return reinterpret_cast<HINSTANCE>(::GetWindowLongPtrW(hwnd, GWLP_HINSTANCE));
}

}  // namespace

void SetCenteringTargetProvider(CenteringTargetProvider provider) noexcept {
    g_target_provider = provider;
}

POINT CenteredBoxPosition(const CenteringTarget& target, long box_width, long box_height) noexcept {
    const long left = TwipsToPixelsX(target.left, target.scale);
    const long top = TwipsToPixelsY(target.top, target.scale);
    const long width = TwipsToPixelsX(target.width, target.scale);
    const long height = TwipsToPixelsY(target.height, target.scale);
    // Integer division truncates toward zero: a box larger than its target
    // is placed by the same rule (-5 / 2 == -2) and never clamped to the
    // screen.
    return POINT{left + (width - box_width) / 2, top + (height - box_height) / 2};
}

LRESULT CALLBACK MsgBoxHookProc(int nCode, WPARAM wParam, LPARAM /*lParam*/) {
    // Deliberately answers every code itself: the hook lives only from the
    // box's creation to its first activation, and nothing of the program
    // relies on a further CBT hook on this thread during that time.
    if (nCode != HCBT_ACTIVATE) return 0;

    const HWND box = reinterpret_cast<HWND>(wParam);
    RECT rect{};
    ::GetWindowRect(box, &rect);
    const long box_width = rect.right - rect.left;
    const long box_height = rect.bottom - rect.top;
    const POINT position = CenteredBoxPosition(CurrentTarget(), box_width, box_height);
    ::MoveWindow(box, position.x, position.y, box_width, box_height, TRUE);
    g_hook.reset();
    return 0;
}

int MsgBoxCentered(std::wstring& sPrompt, long lType, std::wstring& sTitle) {
    if (sTitle.empty()) sTitle = kDefaultCaption;

    const HWND owner = CurrentTarget().hwnd;
    // Without a registered target there is nothing to centre over: the box
    // stays where the system puts it.
    if (g_target_provider) {
        g_hook.reset(
            ::SetWindowsHookExW(WH_CBT, MsgBoxHookProc, InstanceOf(owner), ::GetCurrentThreadId()));
    }
    int result = 0;
    {
        const BoxUp up;
        result = ::MessageBoxW(owner, sPrompt.c_str(), sTitle.c_str(), static_cast<UINT>(lType));
    }
    // The hook belongs to this box alone. Left behind (the box could not be
    // shown, so it never activated), it would move the next window that
    // activates on this thread.
    g_hook.reset();
    // Some implementations report a refused box as -1 rather than 0; no
    // button has a negative identifier, so both mean "not shown".
    return result > 0 ? result : 0;
}

bool MsgBoxShowing() noexcept { return g_boxes_up > 0; }

bool MsgBoxHookInstalled() noexcept { return static_cast<bool>(g_hook); }

}  // namespace orvane
