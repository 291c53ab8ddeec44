#include "pictures/job_assembly.h"

namespace morvex::pictures {

std::vector<std::string> addPrologues(JobBuilder& builder) {
    std::vector<std::string> missing;
    for (const char* name : kDvipsPrologues) {
        std::optional<std::string> path = findPrologue(name);
        if (path && permittable(*path)) {
            builder.headerFile(*path);
        } else {
            missing.emplace_back(name);
        }
    }
    return missing;
}

std::string addHeaderSpecial(JobBuilder& builder, const PictureSpecial& special, const FileAccess& access,
                             uint64_t tag) {
    if (special.kind == SpecialKind::Literal) {
        builder.literal(special.code, tag);
        return {};
    }
    if (special.kind != SpecialKind::Header) return "not a header";
    ResolvedFile file = resolvePictureFile(access, special.file, FileUse::Header);
    if (!file.ok()) return "header " + special.file + ": " + file.refusal;
    builder.headerFile(file.path, special.pre, special.post);
    return {};
}

std::string addPageSpecial(JobBuilder& builder, const PictureSpecial& special, int32_t h, int32_t v,
                           const FileAccess& access, uint64_t tag) {
    switch (special.kind) {
    case SpecialKind::Ps:
    case SpecialKind::PsBegin:
    case SpecialKind::PsRaw:
    case SpecialKind::Quote:
        builder.special(special.kind, h, v, special.code, tag);
        return {};
    case SpecialKind::Figure: {
        ResolvedFile file = resolvePictureFile(access, special.file, FileUse::Figure);
        if (!file.ok()) return "figure " + special.file + ": " + file.refusal;
        std::optional<FigureSection> section = figureSection(file.path);
        if (!section) return "figure " + special.file + ": not readable as PostScript";
        builder.figure(h, v, file.path, *section, special.parameters, tag);
        return {};
    }
    default:
        return "not a page's special";
    }
}

}  // namespace morvex::pictures
