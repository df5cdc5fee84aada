#include "state_report.h"

namespace qv::linuxshell {

void StateReport::Add(std::string_view name, std::string_view value) {
    text_.append(name);
    text_ += '=';
    for (char c : value) {
        switch (c) {
            case '\\': text_ += "\\\\"; break;
            case '\r': text_ += "\\r"; break;
            case '\n': text_ += "\\n"; break;
            default: text_ += c;
        }
    }
    text_ += '\n';
}

void StateReport::Add(std::string_view name, std::int64_t value) { Add(name, std::to_string(value)); }

std::map<std::string, std::string> ParseStateReport(std::string_view text) {
    std::map<std::string, std::string> fields;
    while (!text.empty()) {
        const auto end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        const auto eq = line.find('=');
        if (eq == std::string_view::npos) continue;
        std::string value;
        for (std::size_t i = eq + 1; i < line.size(); ++i) {
            if (line[i] == '\\' && i + 1 < line.size()) {
                const char next = line[++i];
                value += next == 'r' ? '\r' : next == 'n' ? '\n' : next;
            } else {
                value += line[i];
            }
        }
        fields[std::string(line.substr(0, eq))] = std::move(value);
    }
    return fields;
}

}  // namespace qv::linuxshell
