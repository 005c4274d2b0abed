// A scratch folder tree for tests on the real file system, removed at the end,
// and the reference values du and find give for it.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <utility>

#include "orvane/unique_fd.h"

namespace orvane::engine::testing {

// Runs a shell command and returns its standard output.
inline std::string CommandOutput(const std::string& command, int* exit_code = nullptr) {
    std::string out;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) throw std::runtime_error("popen failed: " + command);
    char buffer[4096];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, got);
    int status = ::pclose(pipe);
    if (exit_code) *exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return out;
}

inline std::string ShellQuote(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        if (c == '\'') {
            out += "'\\''";
        } else {
            out.push_back(c);
        }
    }
    return out + "'";
}

// What the standard tools say about a tree, staying on its file system.
struct ToolTotals {
    unsigned long long allocated = 0;  // du -sB1 -x
    unsigned long long apparent = 0;   // du -sB1 -x --apparent-size
    unsigned long long entries = 0;    // find -xdev, one per entry whatever its name holds
};

inline ToolTotals MeasureWithTools(const std::string& path) {
    ToolTotals totals;
    std::string quoted = ShellQuote(path);
    totals.allocated = std::stoull(CommandOutput("du -sB1 -x " + quoted + " 2>/dev/null"));
    totals.apparent =
        std::stoull(CommandOutput("du -sB1 -x --apparent-size " + quoted + " 2>/dev/null"));
    totals.entries =
        std::stoull(CommandOutput("find " + quoted + " -xdev -printf x 2>/dev/null | wc -c"));
    return totals;
}

class TempTree {
public:
    TempTree() {
        const char* base = std::getenv("TMPDIR");
        std::string pattern =
            std::string(base && *base ? base : "/tmp") + "/orvane-scan-test-XXXXXX";
        if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
        root_ = pattern;
    }
    ~TempTree() {
        // Folders made unreadable must be opened up again for removal.
        CommandOutput("chmod -R u+rwx " + ShellQuote(root_) + " 2>/dev/null; rm -rf " +
                      ShellQuote(root_));
    }
    TempTree(const TempTree&) = delete;
    TempTree& operator=(const TempTree&) = delete;

    const std::string& root() const { return root_; }
    std::string Path(const std::string& relative) const { return root_ + "/" + relative; }

    void Folder(const std::string& relative) const {
        if (::mkdir(Path(relative).c_str(), 0755) != 0)
            throw std::runtime_error("mkdir " + relative);
    }
    void File(const std::string& relative, std::size_t size, char fill = 'x') const {
        const unique_fd fd(::open(Path(relative).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644));
        if (!fd) throw std::runtime_error("create " + relative);
        std::string data(size, fill);
        if (::write(fd.get(), data.data(), data.size()) != static_cast<ssize_t>(data.size()))
            throw std::runtime_error("write " + relative);
    }
    void HardLink(const std::string& existing, const std::string& relative) const {
        if (::link(Path(existing).c_str(), Path(relative).c_str()) != 0) {
            throw std::runtime_error("link " + relative);
        }
    }
    void SymLink(const std::string& target, const std::string& relative) const {
        if (::symlink(target.c_str(), Path(relative).c_str()) != 0) {
            throw std::runtime_error("symlink " + relative);
        }
    }
    // A file of `size` bytes with only `written` bytes of data at its start.
    void SparseFile(const std::string& relative, off_t size, std::size_t written) const {
        File(relative, written);
        if (::truncate(Path(relative).c_str(), size) != 0)
            throw std::runtime_error("truncate " + relative);
    }
    // `depth` nested folders named `name`, created relative to each other so
    // the full path may exceed PATH_MAX; each level holds one small file.
    void Chain(const std::string& relative, int depth, const std::string& name) const {
        unique_fd fd(::open(Path(relative).c_str(), O_RDONLY | O_DIRECTORY));
        for (int i = 0; i < depth && fd; ++i) {
            const unique_fd file(::openat(fd.get(), "f", O_WRONLY | O_CREAT, 0644));
            unique_fd next;
            if (::mkdirat(fd.get(), name.c_str(), 0755) == 0)
                next.reset(::openat(fd.get(), name.c_str(), O_RDONLY | O_DIRECTORY));
            fd = std::move(next);
        }
        if (!fd) throw std::runtime_error("chain " + relative);
    }

private:
    std::string root_;
};

}  // namespace orvane::engine::testing
