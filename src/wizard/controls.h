// The form's controls: thin owners of real Win32 child windows that keep
// their geometry in twips relative to their container, like the form
// definition gives it, and forward property changes to the window. Once the
// window is gone (the form unloaded) every operation keeps the value and
// touches nothing.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>
#include <vector>

#include "support/twips.h"
#include "wizard/window_base.h"

namespace orvane {

struct TwipsRect {
    double left = 0, top = 0, width = 0, height = 0;
};

class Control {
public:
    Control(int id, TwipsRect rect, int tabIndex) : id_(id), rect_(rect), tabIndex_(tabIndex) {}
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;
    virtual ~Control() = default;

    int Id() const noexcept { return id_; }
    int TabIndex() const noexcept { return tabIndex_; }
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
        const wchar_t* className;
        DWORD style;
        DWORD exStyle;
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
    int tabIndex_;
    bool visible_ = true;
    bool enabled_ = true;
    HWND hwnd_ = nullptr;
    TwipsScale scale_;
};

class Label : public Control {
public:
    enum class Align { Left, Right };
    Label(int id, TwipsRect rect, int tabIndex, std::wstring caption, Align align = Align::Left,
          bool transparent = false);
    void Create(HWND parent, const TwipsScale& scale);
    bool Transparent() const noexcept { return transparent_; }
    bool WordWrap() const noexcept { return wordWrap_; }
    void SetWordWrap(bool wrap);

private:
    DWORD Style() const noexcept;
    Align align_;
    bool transparent_;
    bool wordWrap_ = true;
};

class CommandButton : public Control {
public:
    CommandButton(int id, TwipsRect rect, int tabIndex, std::wstring caption);
    void Create(HWND parent, const TwipsScale& scale);
    bool TakesFocus() const noexcept override { return true; }
};

class CheckBox : public Control {
public:
    CheckBox(int id, TwipsRect rect, int tabIndex, std::wstring caption);
    void Create(HWND parent, const TwipsScale& scale);
    bool TakesFocus() const noexcept override { return true; }
    int Value() const noexcept { return value_; }
    // A change of state runs the click handler, as a click by the user does.
    void SetValue(int value);
    // The user clicked: the box toggles and the click handler runs.
    void OnUserClick();
    void SetClickHandler(std::function<void()> handler) { onClick_ = std::move(handler); }

private:
    int value_ = 0;
    std::function<void()> onClick_;
};

class TextBox : public Control {
public:
    TextBox(int id, TwipsRect rect, int tabIndex, std::wstring text);
    void Create(HWND parent, const TwipsScale& scale);
    bool TakesFocus() const noexcept override { return true; }
};

class ListView : public Control {
public:
    ListView(int id, TwipsRect rect, int tabIndex) : Control(id, rect, tabIndex) {}
    void Create(HWND parent, const TwipsScale& scale, double columnWidthTwips);
    bool TakesFocus() const noexcept override { return true; }

    // The item collection (positions from 1, like the collection counts).
    int Count() const noexcept { return static_cast<int>(tags_.size()); }
    void Clear();
    // Appends an entry with the given text; returns its position from 0.
    int Add(const std::wstring& text);
    // The text an entry carries for the program (the drive text).
    const std::wstring& Tag(int oneBased) const;
    void SetTag(int oneBased, const std::wstring& tag);
    // The entry's "ghosted" display state (LVIS_CUT).
    bool Ghosted(int oneBased) const;
    void SetGhosted(int oneBased, bool ghosted);

    double ColumnWidth() const noexcept { return columnWidth_; }
    void SetColumnWidth(double twips);

private:
    void CheckIndex(int oneBased) const;
    std::vector<std::wstring> tags_;
    double columnWidth_ = 0;
};

class ProgressBar : public Control {
public:
    ProgressBar(int id, TwipsRect rect, int tabIndex) : Control(id, rect, tabIndex) {}
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
    Frame(int id, TwipsRect rect, int tabIndex, std::wstring caption, COLORREF background);
    void Create(HWND parent, const TwipsScale& scale);
    void AddPicture(const Picture* picture) { pictures_.push_back(picture); }
    void SetCaptionFont(HFONT font) noexcept { captionFont_ = font; }
    // Paints the frame's own face (background, pictures, border) into dc.
    void PaintFace(HDC dc) const noexcept;

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    COLORREF background_;
    HFONT captionFont_ = nullptr;
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
