// The controls of a form: thin owners of real Win32 child windows that keep
// their geometry in twips relative to their container, like a form
// definition gives it, and forward property changes to the window. Once the
// window is gone (the form unloaded) every operation keeps the value and
// touches nothing. Nothing here knows which form uses them.
#pragma once

#include <windows.h>
#include <commctrl.h>

// The program's own wrapper carries the name of this commctrl macro.
#undef ListView_SetItem

#include <functional>
#include <string>
#include <vector>

#include "support/twips.h"
#include "window/window_base.h"

namespace orvane {

struct TwipsRect {
    double left = 0, top = 0, width = 0, height = 0;
};

class Control {
public:
    Control(int id, TwipsRect rect, int tab_index) : id_(id), rect_(rect), tab_index_(tab_index) {}
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;
    virtual ~Control() = default;

    int Id() const noexcept { return id_; }
    int TabIndex() const noexcept { return tab_index_; }
    HWND hWnd() const noexcept { return hwnd_; }
    bool IsLoaded() const noexcept { return hwnd_ != nullptr; }
    // Whether the control can take the keyboard focus at all.
    virtual bool TakesFocus() const noexcept { return false; }

    double Left() const noexcept { return rect_.left; }
    double Top() const noexcept { return rect_.top; }
    double Width() const noexcept { return rect_.width; }
    double Height() const noexcept { return rect_.height; }
    void SetLeft(double twips);
    void SetTop(double twips);
    void SetWidth(double twips);
    void SetHeight(double twips);
    // The window's rectangle in pixels, relative to its container.
    RECT PixelRect() const noexcept;

    bool Visible() const noexcept { return visible_; }
    void SetVisible(bool visible);
    bool Enabled() const noexcept { return enabled_; }
    void SetEnabled(bool enabled);
    // 0 brings the control to the front of its siblings, 1 sends it to the back.
    void ZOrder(int position = 0);

    const std::wstring& Caption() const noexcept { return caption_; }
    void SetCaption(const std::wstring& caption);

    void SetFont(HFONT font) noexcept;
    // The window was destroyed along with its container.
    void Detach() noexcept { hwnd_ = nullptr; }

protected:
    struct WindowSpec {
        const wchar_t* class_name;
        DWORD style;
        DWORD ex_style;
    };
    void CreateWindowIn(HWND parent, const TwipsScale& scale, const WindowSpec& window);
    void Adopt(HWND hwnd, const TwipsScale& scale);
    void UseScale(const TwipsScale& scale) noexcept { scale_ = scale; }
    void ApplyGeometry() noexcept;
    const TwipsScale& Scale() const noexcept { return scale_; }

    std::wstring caption_;

private:
    int id_;
    TwipsRect rect_;
    int tab_index_;
    bool visible_ = true;
    bool enabled_ = true;
    HWND hwnd_ = nullptr;
    TwipsScale scale_;
};

class Label : public Control {
public:
    enum class Align { Left, Right };
    Label(int id, TwipsRect rect, int tab_index, std::wstring caption, Align align = Align::Left,
          bool transparent = false);
    void Create(HWND parent, const TwipsScale& scale);
    bool Transparent() const noexcept { return transparent_; }
    bool WordWrap() const noexcept { return word_wrap_; }
    void SetWordWrap(bool wrap);

private:
    DWORD Style() const noexcept;
    Align align_;
    bool transparent_;
    bool word_wrap_ = true;
};

class CommandButton : public Control {
public:
    CommandButton(int id, TwipsRect rect, int tab_index, std::wstring caption);
    void Create(HWND parent, const TwipsScale& scale);
    bool TakesFocus() const noexcept override { return true; }
};

class CheckBox : public Control {
public:
    CheckBox(int id, TwipsRect rect, int tab_index, std::wstring caption);
    void Create(HWND parent, const TwipsScale& scale);
    bool TakesFocus() const noexcept override { return true; }
    int Value() const noexcept { return value_; }
    // A change of state runs the click handler, as a click by the user does.
    void SetValue(int value);
    // The user clicked: the box toggles and the click handler runs.
    void OnUserClick();
    void SetClickHandler(std::function<void()> handler) { on_click_ = std::move(handler); }

private:
    int value_ = 0;
    std::function<void()> on_click_;
};

class TextBox : public Control {
public:
    TextBox(int id, TwipsRect rect, int tab_index, std::wstring text);
    void Create(HWND parent, const TwipsScale& scale);
    bool TakesFocus() const noexcept override { return true; }
};

class ListView : public Control {
public:
    ListView(int id, TwipsRect rect, int tab_index) : Control(id, rect, tab_index) {}
    void Create(HWND parent, const TwipsScale& scale, double column_width_twips);
    bool TakesFocus() const noexcept override { return true; }

    // The item collection (positions from 1, like the collection counts).
    int Count() const noexcept { return static_cast<int>(tags_.size()); }
    void Clear();
    // Appends an entry with the given text; returns its position from 0.
    int Add(const std::wstring& text);
    // The text an entry carries for the program (the drive text).
    const std::wstring& Tag(int one_based) const;
    void SetTag(int one_based, const std::wstring& tag);
    // The entry's "ghosted" display state (LVIS_CUT).
    bool Ghosted(int one_based) const;
    void SetGhosted(int one_based, bool ghosted);

    // Text and background in the system's current window colours.
    void UseSystemColours() noexcept;

    double ColumnWidth() const noexcept { return column_width_; }
    void SetColumnWidth(double twips);

    // One method per list-view message, each sending exactly its message in
    // the ANSI form. The static forms take the window handle first, for
    // callers that hold only the handle.
    // LVM_SETEXTENDEDLISTVIEWSTYLE: the bits of mask set as in styles.
    static LRESULT SetExtendedStyle(HWND list, WPARAM mask, LPARAM styles) noexcept;
    // LVM_SETITEMSTATE with the state-image bits: checked (2) or unchecked (1).
    static void SetCheckState(HWND list, int position, bool checked) noexcept;
    void SetCheckState(int position, bool checked) noexcept {
        SetCheckState(hWnd(), position, checked);
    }
    // LVM_GETITEMSTATE for the state-image bits: whether the entry is checked.
    static bool GetCheckState(HWND list, int position) noexcept;
    bool GetCheckState(int position) const noexcept { return GetCheckState(hWnd(), position); }
    // LVM_SETIMAGELIST: which is LVSIL_SMALL, LVSIL_NORMAL, ...; returns the previous list.
    static LRESULT SetImageList(HWND list, HIMAGELIST image_list, int which) noexcept;
    // The "ghosted" state of the entry at a position from 0, without a range check.
    bool GhostedAt(int position) const noexcept;
    // Whether the entry at a position from 0 is selected.
    bool SelectedAt(int position) const noexcept;

private:
    void CheckIndex(int one_based) const;
    std::vector<std::wstring> tags_;
    double column_width_ = 0;
};

// LVM_SETITEMA with the record as given; true when the message returns
// non-zero. A module-level wrapper named after the commctrl macro.
bool ListView_SetItem(HWND hwnd, LVITEMA& item);

class ProgressBar : public Control {
public:
    ProgressBar(int id, TwipsRect rect, int tab_index) : Control(id, rect, tab_index) {}
    void Create(HWND parent, const TwipsScale& scale);
    float Value() const noexcept { return value_; }
    // Raises the invalid-property-value error outside Min..Max, as the control does.
    void SetValue(float value);
    static constexpr float kMin = 0, kMax = 100;

private:
    float value_ = 0;
};

// A picture drawn by its container: it has no window of its own.
class Picture {
public:
    Picture(TwipsRect rect) : rect_(rect) {}
    const TwipsRect& Rect() const noexcept { return rect_; }
    void SetBitmap(HBITMAP bitmap, SIZE size) noexcept {
        bitmap_ = bitmap;
        size_ = size;
    }
    // Draws the bitmap at its natural size, never stretched.
    void Paint(HDC dc, const TwipsScale& scale) const noexcept;

private:
    TwipsRect rect_;
    HBITMAP bitmap_ = nullptr;
    SIZE size_{};
};

// A container that draws an etched border with its caption, its background
// colour and its pictures, and clips its children.
class Frame : public Control, public WindowBase {
public:
    Frame(int id, TwipsRect rect, int tab_index, std::wstring caption, COLORREF background);
    void Create(HWND parent, const TwipsScale& scale);
    void AddPicture(const Picture* picture) { pictures_.push_back(picture); }
    void SetCaptionFont(HFONT font) noexcept { caption_font_ = font; }
    COLORREF Background() const noexcept { return background_; }
    // A new face colour, and whether the pictures are painted (repaints).
    void SetFace(COLORREF background, bool show_pictures) noexcept;
    // Paints the frame's own face (background, pictures, border) into dc.
    void PaintFace(HDC dc) const noexcept;

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    COLORREF background_;
    bool show_pictures_ = true;
    HFONT caption_font_ = nullptr;
    std::vector<const Picture*> pictures_;
};

// The form's timer: ticks arrive as WM_TIMER on the owner while it is enabled
// with a non-zero interval.
class Timer {
public:
    Timer(unsigned id, unsigned interval, bool enabled)
        : id_(id), interval_(interval), enabled_(enabled) {}
    void Attach(HWND owner) noexcept;
    void Detach() noexcept;
    unsigned Interval() const noexcept { return interval_; }
    bool Enabled() const noexcept { return enabled_; }
    void SetInterval(long interval);
    void SetEnabled(bool enabled) noexcept;
    bool Ticking() const noexcept { return ticking_; }
    unsigned Id() const noexcept { return id_; }

private:
    void Update() noexcept;
    unsigned id_;
    unsigned interval_;
    bool enabled_;
    bool ticking_ = false;
    HWND owner_ = nullptr;
};

}  // namespace orvane
