#pragma once
// The specials that carry PostScript, read as dvips reads them: which kind
// each is and what it holds. Other specials (colours, papersize, ...) are
// not the picture program's.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace morvex::pictures {

enum class SpecialKind {
    Ps,       // "ps:CODE": at the DVI position, which is set again after the code
    PsBegin,  // "ps::[begin]CODE": at the DVI position
    PsRaw,    // "ps::CODE", "ps::[end]CODE", "ps::[nobreak]CODE": where the PostScript before left off
    Quote,    // "\"CODE": at the DVI position within dvips's @beginspecial ... @endspecial
    Figure,   // "PSfile=FILE KEY=VALUE ...": an EPS file at the DVI position
    Header,   // "header=FILE" or "header={FILE} pre={CODE} post={CODE}": run once before the pages
    Literal,  // "!CODE": literal PostScript run once before the pages
};

// A figure's parameter as dvips's special.pro takes it: "llx=10" is
// "10 @llx", "clip" is "@clip".
struct FigureParameter {
    std::string key;
    std::string value;  // a plain decimal number; empty for clip

    bool operator==(const FigureParameter&) const = default;
};

struct PictureSpecial {
    SpecialKind kind = SpecialKind::Ps;
    std::string code;                         // Ps, PsBegin, PsRaw, Quote, Literal
    std::string file;                         // Figure, Header: the name the special gives
    std::vector<FigureParameter> parameters;  // Figure, in the special's order
    std::string pre, post;                    // Header: code run before and after the file
};

// special: a special of the picture program, ready to run. problem: a
// special of its kinds that cannot run, and why (for a message). Neither:
// not a special of the picture program.
struct ParsedSpecial {
    std::optional<PictureSpecial> special;
    std::string problem;
};

ParsedSpecial parsePictureSpecial(std::string_view text);

// The parameters as dvips writes them between @beginspecial and @setspecial.
std::string figureParameterCode(const std::vector<FigureParameter>& parameters);

}  // namespace morvex::pictures
