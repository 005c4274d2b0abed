// What assistive technology reads of the wizard, through the same entry point
// a screen reader uses (AccessibleObjectFromWindow, which asks the window
// first), and the keyboard a dialog user expects.
#include <windows.h>
#include <oleacc.h>

#include <gtest/gtest.h>

#include "inproc_support.h"
#include "wizard/frmWizard.h"

namespace orvane {
namespace {

using testing::BoxAnswerer;

com_ptr<IAccessible> ClientObject(HWND hwnd) {
    com_ptr<IAccessible> object;
    EXPECT_HRESULT_SUCCEEDED(::AccessibleObjectFromWindow(
        hwnd, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible), object.put_void()));
    return object;
}

VARIANT Child(long id) {
    VARIANT v;
    ::VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = id;
    return v;
}

enum class Property { Name, Value, Description };

std::wstring Read(HWND hwnd, Property property, long child = CHILDID_SELF) {
    const com_ptr<IAccessible> object = ClientObject(hwnd);
    if (!object) return L"<no object>";
    BSTR text = nullptr;
    HRESULT hr = E_FAIL;
    switch (property) {
        case Property::Name:
            hr = object->get_accName(Child(child), &text);
            break;
        case Property::Value:
            hr = object->get_accValue(Child(child), &text);
            break;
        case Property::Description:
            hr = object->get_accDescription(Child(child), &text);
            break;
    }
    const unique_bstr owned(text);
    if (FAILED(hr) || !text) return L"";
    return std::wstring(text, ::SysStringLen(text));
}

class WizardAccessibility : public ::testing::Test {
protected:
    void SetUp() override {
        form.Load();
        form.StopProgressTimer();
    }
    frmWizard form;
};

TEST_F(WizardAccessibility, ListBarsAndLinesAreNamedByTheLabelsBesideThem) {
    EXPECT_EQ(Read(form.lvwDrives.hWnd(), Property::Name), L"Drives");
    EXPECT_EQ(Read(form.pbDiskProgress.hWnd(), Property::Name), L"Analyzing drive");
    EXPECT_EQ(Read(form.pbOverallProgress.hWnd(), Property::Name), L"Overall progress");
    // The names follow the labels as the run changes them.
    form.lblDiskProgStatus.SetCaption(L"Scanning D:");
    form.lblFolderName.SetCaption(L"D:\\Data\\Photos");
    form.lblFileFldCount.SetCaption(L"1234 ");
    EXPECT_EQ(Read(form.pbDiskProgress.hWnd(), Property::Name), L"Scanning D:");
    EXPECT_EQ(Read(form.lblFolderName.hWnd(), Property::Name), L"Analyzing");
    EXPECT_EQ(Read(form.lblFolderName.hWnd(), Property::Value), L"D:\\Data\\Photos");
    EXPECT_EQ(Read(form.lblFileFldCount.hWnd(), Property::Name), L"Scanning D:");
    EXPECT_EQ(Read(form.lblFileFldCount.hWnd(), Property::Value), L"1234");
}

TEST_F(WizardAccessibility, TheFinishedPagesLinkSaysWhatItOpensAndTheNoteIsNamed) {
    EXPECT_EQ(Read(form.lnkViewReport.hWnd(), Property::Name), L"View the report");
    form.lnkViewReport.SetCaption(L"View the reports");
    EXPECT_EQ(Read(form.lnkViewReport.hWnd(), Property::Name), L"View the reports");
    form.txtRunProblems.SetLines({L"Drive G: could not be read (path not found)."});
    EXPECT_EQ(Read(form.txtRunProblems.hWnd(), Property::Name), L"Drives without a report");
    EXPECT_EQ(Read(form.txtRunProblems.hWnd(), Property::Value),
              L"Drive G: could not be read (path not found).");
}

TEST_F(WizardAccessibility, PageFramesHaveNoNameButKeepTheirCaptions) {
    for (Frame* page : {&form.frmDrives, &form.frmProgress}) {
        EXPECT_EQ(Read(page->hWnd(), Property::Name), L"");
        com_ptr<IAccessible> window_object;
        ASSERT_HRESULT_SUCCEEDED(
            ::AccessibleObjectFromWindow(page->hWnd(), static_cast<DWORD>(OBJID_WINDOW),
                                         __uuidof(IAccessible), window_object.put_void()));
        BSTR name = nullptr;
        window_object->get_accName(Child(CHILDID_SELF), &name);
        const unique_bstr owned(name);
        EXPECT_TRUE(!name || ::SysStringLen(name) == 0);
    }
    EXPECT_EQ(form.frmDrives.Caption(), L"Frame3");
    EXPECT_EQ(form.frmProgress.Caption(), L"Frame4");
}

TEST_F(WizardAccessibility, ADriveThatCannotBeReadSaysSoInItsDescription) {
    form.lvwDrives.Clear();
    form.lvwDrives.Add(L"Local Disk (C:)");
    form.lvwDrives.Add(L"CD Drive (E:)");
    form.lvwDrives.SetGhosted(2, true);
    EXPECT_EQ(Read(form.lvwDrives.hWnd(), Property::Description, 2),
              L"Not accessible and cannot be analyzed");
    EXPECT_NE(Read(form.lvwDrives.hWnd(), Property::Description, 1),
              L"Not accessible and cannot be analyzed");
}

TEST_F(WizardAccessibility, AnObjectKeptAfterTheWindowIsGoneAnswersWithoutItsAnnotation) {
    const com_ptr<IAccessible> kept = ClientObject(form.pbOverallProgress.hWnd());
    ASSERT_TRUE(kept);
    form.Unload();
    BSTR name = nullptr;
    kept->get_accName(Child(CHILDID_SELF), &name);  // must not touch the unloaded form
    const unique_bstr owned(name);
    EXPECT_TRUE(!name || std::wstring(name) != L"Overall progress");
}

// Enter on a focused push button presses it; the window has no default or
// cancel button of its own (the list's Enter and Escape are tested with the
// layout).
class WizardKeyboard : public ::testing::Test {
protected:
    void SetUp() override {
        testing::StartWizard(form, fakes);
        form.Show();
        form.SetFocus();
    }
    void TearDown() override { form.Unload(); }
    static void PressEnter(HWND hwnd) {
        ::SendMessageW(hwnd, WM_KEYDOWN, VK_RETURN, 0);
        ::SendMessageW(hwnd, WM_CHAR, L'\r', 0);
        ::SendMessageW(hwnd, WM_KEYUP, VK_RETURN, 0);
    }
    static bool ShowsAsDefault(HWND button) {
        return (::GetWindowLongPtrW(button, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
    }
    testing::InstalledFakes fakes;
    frmWizard form;
};

TEST_F(WizardKeyboard, EnterOnTheFocusedButtonPressesIt) {
    ::SetFocus(form.cmdCancel.hWnd());
    EXPECT_TRUE(ShowsAsDefault(form.cmdCancel.hWnd()));
    EXPECT_FALSE(ShowsAsDefault(form.cmdNext.hWnd()));
    {
        BoxAnswerer answerer({IDNO});
        PressEnter(form.cmdCancel.hWnd());
        const auto boxes = answerer.Boxes();
        ASSERT_EQ(boxes.size(), 1u);  // one press, one question
        EXPECT_EQ(boxes[0].text, L"Are you sure you want to cancel the Orvane Analyzer process?");
    }
    EXPECT_TRUE(form.IsLoaded());

    // The focus moves on: the button is no default any more.
    ::SetFocus(form.lvwDrives.hWnd());
    EXPECT_FALSE(ShowsAsDefault(form.cmdCancel.hWnd()));
    EXPECT_FALSE(ShowsAsDefault(form.cmdNext.hWnd()));

    form.cmdCancel.SetCaption(L"Finish");
    ::SetFocus(form.cmdCancel.hWnd());
    PressEnter(form.cmdCancel.hWnd());
    EXPECT_FALSE(form.IsLoaded());
}

TEST_F(WizardKeyboard, EnterOnNextStartsTheClickAsAMouseClickWould) {
    testing::ScopedSettingsKey settings(true, "yes");
    testing::CheckOnlyDrives(form, {});  // the click ends after reading the setting
    ::SetFocus(form.cmdNext.hWnd());
    PressEnter(form.cmdNext.hWnd());
    // The click read the setting into the box before it looked at the drives.
    EXPECT_EQ(form.chkCloseWhenDone.Value(), 1);
    EXPECT_TRUE(form.bCloseWhenDone);
}

}  // namespace
}  // namespace orvane
