#include "svg/link_layer.h"

#include <vector>

#include "base/printable.h"
#include "svg/link_scheme.h"
#include "svg/page_name.h"
#include "svg/svg_number.h"
#include "svg/xml_text.h"

namespace morvex {

namespace {

constexpr int kPlaces = 3;
// How much of a refused address a message shows.
constexpr size_t kShownBytes = 60;
constexpr std::string_view kDviSuffix = ".dvi";

std::vector<std::string_view> parts(std::string_view dir) {
    std::vector<std::string_view> out;
    for (size_t at = 0; at < dir.size();) {
        size_t end = dir.find('/', at);
        if (end == std::string_view::npos) end = dir.size();
        if (end > at) out.push_back(dir.substr(at, end - at));
        at = end + 1;
    }
    return out;
}

void appendUrlText(std::string& out, std::string_view text) {
    static const char kHex[] = "0123456789ABCDEF";
    for (unsigned char c : text) {
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
            c == '_' || c == '~' || c == '/') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
}

void appendRect(std::string& line, const Extent& e, double x, double y) {
    line += " x=\"";
    appendNumber(line, e.minX + x, kPlaces);
    line += "\" y=\"";
    appendNumber(line, e.minY + y, kPlaces);
    line += "\" width=\"";
    appendNumber(line, e.maxX - e.minX, kPlaces);
    line += "\" height=\"";
    appendNumber(line, e.maxY - e.minY, kPlaces);
    line += '"';
}

}  // namespace

std::string idStemOf(std::string_view dviPath) {
    const size_t slash = dviPath.rfind('/');
    if (slash != std::string_view::npos) dviPath.remove_prefix(slash + 1);
    if (dviPath.size() > kDviSuffix.size() && dviPath.substr(dviPath.size() - kDviSuffix.size()) == kDviSuffix)
        dviPath.remove_suffix(kDviSuffix.size());
    return std::string(dviPath);
}

std::string anchorId(std::string_view stem, std::string_view name) {
    std::string id = "mvx-";
    appendIdText(id, stem);
    id += "_-";
    appendIdText(id, name);
    return id;
}

std::optional<std::string> pageReference(std::string_view from, std::string_view to) {
    const size_t fromSlash = from.rfind('/'), toSlash = to.rfind('/');
    const std::string_view fromDir = fromSlash == std::string_view::npos ? "" : from.substr(0, fromSlash);
    const std::string_view toDir = toSlash == std::string_view::npos ? "" : to.substr(0, toSlash);
    const std::string_view file = toSlash == std::string_view::npos ? to : to.substr(toSlash + 1);
    std::string reference;
    if (fromDir != toDir) {
        // Both come from one pattern: both absolute or both relative.
        if (from.substr(0, 1) == "/" && to.substr(0, 1) != "/") return std::nullopt;
        const std::vector<std::string_view> a = parts(fromDir), b = parts(toDir);
        size_t common = 0;
        while (common < a.size() && common < b.size() && a[common] == b[common]) ++common;
        for (size_t i = common; i < a.size(); ++i) {
            if (a[i] == "." || a[i] == "..") return std::nullopt;
            reference += "../";
        }
        for (size_t i = common; i < b.size(); ++i) {
            reference += b[i];
            reference += '/';
        }
    }
    reference += file;
    std::string escaped;
    appendUrlText(escaped, reference);
    return escaped;
}

// A place's id on the first page that names it only, and once there.
void LinkLayer::write(std::string& line, const PageModel& page, double x, double y) {
    std::unordered_set<std::string_view> written;
    for (const Anchor& anchor : page.anchors) {
        if (settings.anchors.find(anchor.name) != page.position || !written.insert(anchor.name).second) continue;
        line += "\n<rect id=\"";
        line += anchorId(settings.idStem, anchor.name);
        const auto [ax, ay] = anchor.where.value_or(std::make_pair(0.0, 0.0));
        line += "\" x=\"";
        appendNumber(line, ax + x, kPlaces);
        line += "\" y=\"";
        appendNumber(line, ay + y, kPlaces);
        line += "\" width=\"0\" height=\"0\"/>";
    }
    // The lines of one link (areas side by side with one target) share
    // one <a>: its target is written once.
    const std::vector<LinkArea>& links = page.links;
    for (size_t i = 0; i < links.size();) {
        size_t end = i + 1;
        while (end < links.size() && links[end].kind == links[i].kind && links[end].target == links[i].target) ++end;
        bool drawn = false;
        for (size_t k = i; k < end; ++k) drawn = drawn || !links[k].area.empty();
        const std::optional<std::string> target = drawn ? href(links[i], page) : std::nullopt;
        if (target) {
            line += "\n<a href=\"" + *target + "\" xlink:href=\"" + *target + "\">";
            for (size_t k = i; k < end; ++k) {
                if (links[k].area.empty()) continue;
                line += "<rect";
                appendRect(line, links[k].area, x, y);
                line += " fill=\"transparent\" pointer-events=\"all\"/>";
            }
            line += "</a>";
        }
        i = end;
    }
}

// The target as written in the document, escaped; none for a link left out.
std::optional<std::string> LinkLayer::href(const LinkArea& link, const PageModel& page) {
    if (link.kind == LinkKind::Destination) return destination(link, page);
    if (!linkableAddress(link.target)) {
        if (settings.err != nullptr) {
            const std::string_view shown = std::string_view(link.target).substr(0, kShownBytes);
            std::fprintf(settings.err,
                         "morvex: page %llu: the link to \"%s%s\" is left out: only http, https, mailto and ftp "
                         "addresses and relative ones are linked\n",
                         static_cast<unsigned long long>(page.position), printable(shown).c_str(),
                         shown.size() < link.target.size() ? "..." : "");
        }
        return std::nullopt;
    }
    std::string target;
    appendXmlText(target, link.target, BadBytes::Percent);
    return target;
}

std::optional<std::string> LinkLayer::destination(const LinkArea& link, const PageModel& page) {
    const std::optional<uint64_t> at = settings.anchors.find(link.target);
    if (!at) {
        std::fprintf(log, "\nPaths: a link to the place \"%s\", which no page written names, is left out",
                     printable(link.target.substr(0, kShownBytes)).c_str());
        return std::nullopt;
    }
    std::string target;
    if (!settings.pattern.empty() && *at != page.position) {
        const std::string from = pageFileName(settings.pattern, static_cast<uint32_t>(page.position));
        const std::optional<std::string> file =
            pageReference(from, pageFileName(settings.pattern, static_cast<uint32_t>(*at)));
        if (!file) {
            std::fprintf(log, "\nPaths: a link to the place \"%s\" on page %llu is left out: %s cannot name "
                              "that page's document", printable(link.target.substr(0, kShownBytes)).c_str(),
                         static_cast<unsigned long long>(*at), printable(from).c_str());
            return std::nullopt;
        }
        appendXmlText(target, *file, BadBytes::Percent);
    }
    target += '#';
    target += anchorId(settings.idStem, link.target);
    return target;
}

}  // namespace morvex
