#include "specials/hypertex_special.h"

namespace morvex {

namespace {

constexpr std::string_view kPrefix = "html:";

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f'; }

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool sameWord(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i])) return false;
    return true;
}

// A cursor over the tag's text.
class TagReader {
public:
    explicit TagReader(std::string_view text) : text(text) {}

    void skipBlanks() {
        while (at < text.size() && isBlank(text[at])) ++at;
    }
    bool take(char c) {
        skipBlanks();
        if (at >= text.size() || text[at] != c) return false;
        ++at;
        return true;
    }
    // Letters, digits, '-' and '_': a tag or attribute name.
    std::string_view word() {
        skipBlanks();
        const size_t start = at;
        while (at < text.size()) {
            const char c = lower(text[at]);
            if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_')) break;
            ++at;
        }
        return text.substr(start, at - start);
    }
    // A value in quotes (none when the closing quote is missing), or up to
    // a blank or the tag's end.
    std::optional<std::string> value() {
        skipBlanks();
        if (at < text.size() && (text[at] == '"' || text[at] == '\'')) {
            const char quote = text[at];
            const size_t end = text.find(quote, at + 1);
            if (end == std::string_view::npos) return std::nullopt;
            std::string v(text.substr(at + 1, end - at - 1));
            at = end + 1;
            return v;
        }
        const size_t start = at;
        while (at < text.size() && !isBlank(text[at]) && text[at] != '>') ++at;
        return std::string(text.substr(start, at - start));
    }
    // The tag ends: a '>' (or the end of the text) and nothing but blanks.
    bool ends() {
        skipBlanks();
        if (at < text.size() && text[at] == '>') ++at;
        skipBlanks();
        return at == text.size();
    }
    bool atTagEnd() {
        skipBlanks();
        return at == text.size() || text[at] == '>';
    }

private:
    std::string_view text;
    size_t at = 0;
};

// The attributes of <a ...> after the tag's name.
HypertexSpecial readOpenTag(TagReader& tag) {
    HypertexSpecial s;
    s.tag = HypertexTag::Open;
    while (!tag.atTagEnd()) {
        const std::string_view attribute = tag.word();
        if (attribute.empty() || !tag.take('=')) return {};
        std::optional<std::string> v = tag.value();
        if (!v) return {};
        // The first of each counts, as in HTML.
        if (sameWord(attribute, "href") && !s.href) s.href = std::move(v);
        if (sameWord(attribute, "name") && !s.name) s.name = std::move(v);
    }
    return tag.ends() ? s : HypertexSpecial{};
}

}  // namespace

HypertexSpecial readHypertexSpecial(std::string_view special) {
    size_t start = 0;
    while (start < special.size() && isBlank(special[start])) ++start;
    special.remove_prefix(start);
    if (!sameWord(special.substr(0, kPrefix.size()), kPrefix)) return {};
    TagReader tag(special.substr(kPrefix.size()));
    if (!tag.take('<')) return {};
    if (tag.take('/')) {
        if (!sameWord(tag.word(), "a") || !tag.ends()) return {};
        return {HypertexTag::Close, std::nullopt, std::nullopt};
    }
    if (!sameWord(tag.word(), "a")) return {};
    return readOpenTag(tag);
}

}  // namespace morvex
