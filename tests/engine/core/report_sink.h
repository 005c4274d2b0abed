// Every report the tests produce is also checked against the published
// schema (docs/report-schema.json): a test leaves a copy in the folder
// ORVANE_REPORT_SINK names, and tools/check_report_schema.py checks that
// folder once the tests have run. Without the variable nothing is kept.
#pragma once

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <string>

namespace orvane::engine::testing {

inline void KeepForSchemaCheck(const std::string& json, const std::string& name) {
    const char* sink = std::getenv("ORVANE_REPORT_SINK");
    if (!sink || !*sink) return;
    static std::atomic<int> serial{0};
    const std::string path =
        std::string(sink) + "/" + name + "-" + std::to_string(++serial) + ".json";
    std::ofstream(path, std::ios::binary) << json;
}

}  // namespace orvane::engine::testing
