// The running program's state, published as text on its single-instance
// window (property _QUORVANE_STATE) after every change, so that scripts and
// the end-to-end tests can see what the overlay and the panel hold without
// reading pixels. One "name=value" per line; a value's backslashes, carriage
// returns and line feeds are escaped as \\, \r and \n.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

namespace qv::linuxshell {

class StateReport {
public:
    void Add(std::string_view name, std::string_view value);
    void Add(std::string_view name, std::int64_t value);
    const std::string& text() const noexcept { return text_; }

private:
    std::string text_;
};

// Every "name=value" line of a report; a later line wins over an earlier
// one of the same name, and lines without '=' are skipped.
std::map<std::string, std::string> ParseStateReport(std::string_view text);

}  // namespace qv::linuxshell
