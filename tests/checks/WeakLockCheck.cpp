// Lists every lambda in the sources below the given folder that locks a weak pointer it captured,
// except under platform/core, which holds the helpers that do it once for everyone (weakly and
// withOwner); fails when there is any. Such a lambda is what the helpers replace.
//
//     talvori_check_weak_locks <src folder>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// The text with comments, string and character literals blanked out, lines kept.
std::string codeOnly(const std::string& text) {
    std::string out = text;
    std::size_t i = 0;
    const std::size_t n = text.size();
    auto blank = [&](std::size_t from, std::size_t to) {
        for (std::size_t k = from; k < to && k < n; ++k) {
            if (out[k] != '\n') out[k] = ' ';
        }
    };
    while (i < n) {
        if (text.compare(i, 2, "//") == 0) {
            const std::size_t end = text.find('\n', i);
            blank(i, end == std::string::npos ? n : end);
            i = end == std::string::npos ? n : end;
        } else if (text.compare(i, 2, "/*") == 0) {
            const std::size_t end = text.find("*/", i + 2);
            const std::size_t stop = end == std::string::npos ? n : end + 2;
            blank(i, stop);
            i = stop;
        } else if (text[i] == 'R' && i + 1 < n && text[i + 1] == '"' &&
                   (i == 0 || !(std::isalnum(static_cast<unsigned char>(text[i - 1])) ||
                                text[i - 1] == '_'))) {
            const std::size_t open = text.find('(', i);
            const std::string delimiter = text.substr(i + 2, open - i - 2);
            const std::string close = ")" + delimiter + "\"";
            const std::size_t end = text.find(close, open);
            const std::size_t stop = end == std::string::npos ? n : end + close.size();
            blank(i, stop);
            i = stop;
        } else if (text[i] == '"' ||
                   (text[i] == '\'' &&
                    !(i > 0 && std::isxdigit(static_cast<unsigned char>(text[i - 1]))))) {
            // A quote after a hexadecimal digit is a digit separator.
            const char quote = text[i];
            std::size_t k = i + 1;
            while (k < n && text[k] != quote && text[k] != '\n') k += text[k] == '\\' ? 2 : 1;
            blank(i, k + 1);
            i = k + 1;
        } else {
            ++i;
        }
    }
    return out;
}

bool isWordChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

// The last character before `at` that is not white space.
char previousSignificant(const std::string& code, std::size_t at) {
    while (at > 0) {
        --at;
        if (!std::isspace(static_cast<unsigned char>(code[at]))) return code[at];
    }
    return '\0';
}

// Whether the word just before `at` is a keyword that a lambda may follow (`return [weak] {`), not
// a name that a subscript follows.
bool afterKeyword(const std::string& code, std::size_t at) {
    while (at > 0 && std::isspace(static_cast<unsigned char>(code[at - 1]))) --at;
    std::size_t begin = at;
    while (begin > 0 && isWordChar(code[begin - 1])) --begin;
    const std::string word = code.substr(begin, at - begin);
    return word == "return" || word == "co_return" || word == "co_yield";
}

// Where the bracket at `open` is closed, or npos.
std::size_t matching(const std::string& code, std::size_t open, char opening, char closing) {
    int depth = 0;
    for (std::size_t i = open; i < code.size(); ++i) {
        if (code[i] == opening) ++depth;
        if (code[i] == closing && --depth == 0) return i;
    }
    return std::string::npos;
}

// The opening brace of the body of a lambda whose capture list opens at `open`, or npos when the
// brackets there are no capture list.
std::size_t lambdaBody(const std::string& code, std::size_t open) {
    if (open + 1 < code.size() && code[open + 1] == '[') return std::string::npos;
    const char before = previousSignificant(code, open);
    if ((isWordChar(before) && !afterKeyword(code, open)) || before == ')' || before == ']' ||
        before == '[') {
        return std::string::npos;
    }
    const std::size_t close = matching(code, open, '[', ']');
    if (close == std::string::npos) return std::string::npos;
    for (std::size_t i = close + 1; i < code.size(); ++i) {
        const char c = code[i];
        if (c == '{') return i;
        if (c == '(') {
            i = matching(code, i, '(', ')');
            if (i == std::string::npos) return std::string::npos;
            continue;
        }
        // A trailing return type may name a scope (`-> std::optional<Event>`).
        if (c == ':' && i + 1 < code.size() && code[i + 1] == ':') {
            ++i;
            continue;
        }
        if (c == ';' || c == ',' || c == ')' || c == '}' || c == '=' || c == ':') {
            return std::string::npos;
        }
    }
    return std::string::npos;
}

int lineOf(const std::string& code, std::size_t at) {
    return 1 + static_cast<int>(std::count(code.begin(), code.begin() + at, '\n'));
}

struct Lambda {
    std::size_t captureOpen;
    std::size_t captureClose;
    std::size_t bodyOpen;
    std::size_t bodyClose;
};

std::vector<Lambda> lambdas(const std::string& code) {
    std::vector<Lambda> found;
    for (std::size_t i = 0; i < code.size(); ++i) {
        if (code[i] != '[') continue;
        const std::size_t body = lambdaBody(code, i);
        if (body == std::string::npos) continue;
        const std::size_t end = matching(code, body, '{', '}');
        if (end == std::string::npos) continue;
        found.push_back({i, matching(code, i, '[', ']'), body, end});
    }
    return found;
}

// The name a `.lock()` at `at` is called on, when it is a plain name.
std::string receiver(const std::string& code, std::size_t at) {
    std::size_t begin = at;
    while (begin > 0 && isWordChar(code[begin - 1])) --begin;
    return code.substr(begin, at - begin);
}

bool capturesName(const std::string& code, const Lambda& lambda, const std::string& name) {
    const std::string captures =
        code.substr(lambda.captureOpen + 1, lambda.captureClose - lambda.captureOpen - 1);
    for (std::size_t at = captures.find(name); at != std::string::npos;
         at = captures.find(name, at + 1)) {
        const bool startsWord = at == 0 || !isWordChar(captures[at - 1]);
        const bool endsWord =
            at + name.size() >= captures.size() || !isWordChar(captures[at + name.size()]);
        if (startsWord && endsWord) return true;
    }
    return false;
}

// A `.lock()` on a weak pointer a lambda captured: the lambda reaches an owner it does not keep
// alive, which is what the helpers are for. Weak pointers a lambda is handed (a predicate over a
// list of them) are not flagged.
std::vector<int> lockLinesInLambdas(const std::string& code) {
    const auto all = lambdas(code);
    std::vector<int> lines;
    const std::string call = ".lock()";
    for (std::size_t at = code.find(call); at != std::string::npos; at = code.find(call, at + 1)) {
        const std::string name = receiver(code, at);
        if (name.empty()) continue;
        const bool captured = std::any_of(all.begin(), all.end(), [&](const Lambda& lambda) {
            return lambda.bodyOpen < at && at < lambda.bodyClose &&
                   capturesName(code, lambda, name);
        });
        if (captured) lines.push_back(lineOf(code, at));
    }
    return lines;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: talvori_check_weak_locks <src folder>\n";
        return 2;
    }
    const fs::path root = argv[1];
    std::vector<fs::path> sources;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        const auto extension = entry.path().extension();
        if (extension != ".cpp" && extension != ".hpp") continue;
        const auto relative = entry.path().lexically_relative(root).generic_string();
        if (relative.starts_with("platform/core/")) continue;
        sources.push_back(entry.path());
    }
    std::sort(sources.begin(), sources.end());
    int faults = 0;
    for (const auto& source : sources) {
        std::ifstream in(source);
        const std::string text{std::istreambuf_iterator<char>(in), {}};
        const auto relative = source.lexically_relative(root).generic_string();
        for (const int line : lockLinesInLambdas(codeOnly(text))) {
            std::cout << relative << ":" << line
                      << ": a lambda locks a weak pointer by hand; use weakly or withOwner\n";
            ++faults;
        }
    }
    if (faults > 0) return 1;
    std::cout << sources.size() << " sources: no lambda locks a weak pointer by hand\n";
    return 0;
}
