// "From here on, errors are ignored": once armed, each step that fails is
// skipped, its error number kept as the last error, and the next step runs.
// Before arming, a failing step's error travels on to the caller.
#pragma once

#include <exception>
#include <new>

#include "support/app_error.h"

namespace orvane {

class ErrorMode {
public:
    // Switches to ignore-and-continue; also clears the last error number.
    void ArmResumeNext() noexcept {
        armed_ = true;
        last_error_ = 0;
    }
    bool armed() const noexcept { return armed_; }
    long LastError() const noexcept { return last_error_; }

    template <class Step>
    void Run(Step&& step) {
        if (!armed_) {
            step();
            return;
        }
        try {
            step();
        } catch (const AppError& e) {
            last_error_ = e.number();
        } catch (const std::bad_alloc&) {
            last_error_ = kErrOutOfMemory;
        } catch (const std::exception&) {
            last_error_ = kErrInvalidCall;
        }
    }

private:
    bool armed_ = false;
    long last_error_ = 0;
};

}  // namespace orvane
