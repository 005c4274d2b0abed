// The program's error: a number and a text. It travels as a C++ exception up
// to the boundary of a window procedure (or of Main), where it is reported
// once and ends the process. Nothing in between catches it.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include <exception>
#include <string>

namespace orvane {

// Run-time error numbers the program raises itself.
enum ErrorNumber : long {
    kErrInvalidCall = 5,
    kErrOverflow = 6,
    kErrOutOfMemory = 7,
    kErrSubscriptOutOfRange = 9,
    kErrDivisionByZero = 11,
    kErrTypeMismatch = 13,
    kErrBadFileNameOrNumber = 52,
    kErrObjectNotSet = 91,
    kErrInvalidPropertyValue = 380,
};

class AppError : public std::exception {
public:
    AppError(long number, std::wstring description);
    long number() const noexcept { return number_; }
    const std::wstring& description() const noexcept { return description_; }
    const char* what() const noexcept override { return what_.c_str(); }

private:
    long number_;
    std::wstring description_;
    std::string what_;
};

// The standard text of one of the numbers above.
std::wstring DescribeErrorNumber(long number);
// The system's text for an HRESULT (or a Win32 error turned into one).
std::wstring DescribeHresult(HRESULT hr);

[[noreturn]] void RaiseError(long number);
[[noreturn]] void RaiseHresult(HRESULT hr);
// The calling thread's last Win32 error, as an HRESULT.
[[noreturn]] void RaiseLastError();

inline void ThrowIfFailed(HRESULT hr) {
    if (FAILED(hr)) RaiseHresult(hr);
}

// The same for a call of a component's interface iid on object: where the
// component supports error information for it, the error keeps the number
// and takes the component's own description, as the platform's report does.
void ThrowIfFailed(HRESULT hr, IUnknown* object, REFIID iid);

// The text of the error report, e.g. "Run-time error '6':\r\n\r\nOverflow".
std::wstring ErrorReportText(long number, const std::wstring& description);

// Whether an error report is up: from then on the program's windows handle
// nothing, so no further handler (a timer tick) can raise a second report.
bool ProgramEnding() noexcept;

// Called just before the error report is shown, so that the window can mark
// itself as failed while the report is up; nothing is called without one.
using ErrorReportListener = void (*)() noexcept;
void SetErrorReportListener(ErrorReportListener listener) noexcept;
// What the report does first: tells the listener.
void AnnounceErrorReport() noexcept;

// Shows the error report and ends the process with a non-zero exit code.
[[noreturn]] void ReportAndEnd(long number, const std::wstring& description) noexcept;

// Runs body; any error escaping it is reported and ends the process. Used at
// every boundary where the platform calls into the program.
template <class Body>
auto GuardBoundary(Body&& body) noexcept -> decltype(body()) {
    try {
        return body();
    } catch (const AppError& e) {
        ReportAndEnd(e.number(), e.description());
    } catch (const std::bad_alloc&) {
        ReportAndEnd(kErrOutOfMemory, DescribeErrorNumber(kErrOutOfMemory));
    } catch (const std::exception& e) {
        std::wstring text;
        for (const char* p = e.what(); *p; ++p)
            text += static_cast<wchar_t>(static_cast<unsigned char>(*p));
        ReportAndEnd(kErrInvalidCall, text);
    } catch (...) {
        ReportAndEnd(kErrInvalidCall, DescribeErrorNumber(kErrInvalidCall));
    }
}

}  // namespace orvane
