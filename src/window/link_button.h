// Controls the wizard's finished page adds: a link that opens what it names
// and a note of several lines that the user can read, scroll and select.
// The link is an owner-drawn button, so it takes the focus, joins the tab
// order and answers Space like any button and Enter like the focused push
// button; it is drawn as a link in the colour its form chooses (the system's
// link colour, which high contrast sets too), and its accessible name is its
// text.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "window/controls.h"

namespace orvane {

class LinkButton : public Control {
public:
    LinkButton(int id, TwipsRect rect, int tab_index, std::wstring caption);
    void Create(HWND parent, const TwipsScale& scale);
    bool TakesFocus() const noexcept override { return true; }
    // The underlined face the text is drawn in (the window's font without it).
    void SetLinkFont(HFONT font) noexcept { link_font_ = font; }
    // The text's colour; the system's link colour until set.
    void SetTextColour(COLORREF colour) noexcept;
    // WM_DRAWITEM for this control, which its container passes on.
    void Draw(const DRAWITEMSTRUCT& item) const noexcept;

private:
    static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR id, DWORD_PTR data) noexcept;
    HFONT link_font_ = nullptr;
    COLORREF text_colour_ = ::GetSysColor(COLOR_HOTLIGHT);
};

// A read-only text of several lines on the page's face, with a scroll bar
// when it holds more lines than it shows.
class NoteBox : public Control {
public:
    NoteBox(int id, TwipsRect rect, int tab_index) : Control(id, rect, tab_index) {}
    void Create(HWND parent, const TwipsScale& scale);
    bool TakesFocus() const noexcept override { return true; }
    // Lines are joined with the line breaks the edit control shows.
    void SetLines(const std::vector<std::wstring>& lines);
};

}  // namespace orvane
