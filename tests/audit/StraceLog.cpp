#include "tests/audit/StraceLog.h"

#include <cctype>
#include <map>
#include <sstream>

namespace koravel::audit {
namespace {

constexpr std::string_view Unfinished = " <unfinished ...>";

// Splits "a, {b, c}, "d,e", 3</p,q>) = 0" into its arguments; `end` is left on
// the closing parenthesis. Quotes, brackets and -y annotations hide their commas.
std::vector<std::string> SplitArgs(const std::string& text, std::size_t& at) {
    std::vector<std::string> args;
    std::string current;
    int depth = 0;
    const auto finish = [&] {
        const std::size_t first = current.find_first_not_of(' ');
        args.push_back(first == std::string::npos ? std::string() : current.substr(first));
        current.clear();
    };
    for (; at < text.size(); ++at) {
        const char c = text[at];
        if (c == '"') {
            current += c;
            for (++at; at < text.size() && text[at] != '"'; ++at) {
                if (text[at] == '\\' && at + 1 < text.size()) {
                    current += text[at++];
                }
                current += text[at];
            }
            current += '"';
            continue;
        }
        if (c == '<') {
            const std::size_t close = text.find('>', at);
            const std::size_t stop = close == std::string::npos ? text.size() : close + 1;
            current += text.substr(at, stop - at);
            at = stop - 1;
            continue;
        }
        if (c == '(' || c == '[' || c == '{') {
            ++depth;
        } else if (c == ')' && depth == 0) {
            if (!current.empty() || !args.empty()) {
                finish();
            }
            return args;
        } else if (c == ')' || c == ']' || c == '}') {
            --depth;
        } else if (c == ',' && depth == 0) {
            finish();
            continue;
        }
        current += c;
    }
    return args;
}

// Parses "name(args) = result" into `call`; false when the text is no call.
bool ParseCall(const std::string& text, Syscall& call) {
    std::size_t at = 0;
    while (at < text.size() &&
           (std::isalnum(static_cast<unsigned char>(text[at])) != 0 || text[at] == '_')) {
        ++at;
    }
    if (at == 0 || at >= text.size() || text[at] != '(') {
        return false;
    }
    call.name = text.substr(0, at);
    ++at;
    call.args = SplitArgs(text, at);
    if (at >= text.size()) {
        return false;
    }
    const std::size_t equals = text.find(" = ", at);
    if (equals == std::string::npos) {
        return false;
    }
    call.result = text.substr(equals + 3);
    call.line = text;
    return true;
}

} // namespace

std::vector<Syscall> ParseStraceLog(const std::string& text) {
    std::vector<Syscall> calls;
    std::map<int, std::string> pending; // a call whose rest comes later, by thread
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        std::size_t at = 0;
        int pid = 0;
        while (at < line.size() && std::isdigit(static_cast<unsigned char>(line[at])) != 0) {
            pid = pid * 10 + (line[at++] - '0');
        }
        // strace pads the pid to a fixed width, so short pids have more spaces.
        const std::size_t start = line.find_first_not_of(' ', at);
        if (at == 0 || start == at || start == std::string::npos) {
            continue;
        }
        std::string body = line.substr(start);
        if (body.size() >= Unfinished.size() &&
            body.compare(body.size() - Unfinished.size(), Unfinished.size(), Unfinished) == 0) {
            pending[pid] = body.substr(0, body.size() - Unfinished.size());
            continue;
        }
        if (body.rfind("<... ", 0) == 0) {
            const std::size_t resumed = body.find(" resumed>");
            const auto started = pending.find(pid);
            if (resumed == std::string::npos || started == pending.end()) {
                continue;
            }
            body = started->second + body.substr(resumed + 9);
            pending.erase(started);
        }
        Syscall call;
        call.pid = pid;
        if (ParseCall(body, call)) {
            calls.push_back(std::move(call));
        }
    }
    return calls;
}

std::optional<std::string> AnnotatedPath(const std::string& value) {
    const std::size_t open = value.find('<');
    if (open == std::string::npos || open == 0 || value.back() != '>') {
        return std::nullopt;
    }
    for (std::size_t i = value[0] == '-' ? 1 : 0; i < open; ++i) {
        if (std::isdigit(static_cast<unsigned char>(value[i])) == 0) {
            return std::nullopt;
        }
    }
    return value.substr(open + 1, value.size() - open - 2);
}

std::optional<std::int64_t> Number(const std::string& value) {
    try {
        std::size_t used = 0;
        const std::int64_t number = std::stoll(value, &used, 0);
        // "3</path>" is descriptor 3, so a -y annotation may follow the digits.
        if (used == value.size() || value[used] == '<' || value[used] == ' ') {
            return number;
        }
    } catch (const std::exception&) {
    }
    return std::nullopt;
}

} // namespace koravel::audit
