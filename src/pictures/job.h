#pragma once
// The job of the picture program (config/pictures.ps): everything it runs
// for one conversion, as a list of chunks in the order dvips's output runs
// them. A chunk's index in the list is its number in the job and in the
// reports.
//
// Order: the header files (with the pre and post code of their specials)
// and the literal headers of all pages, then dvips's @start, then every
// selected page: its beginning (bop), its specials and colour changes in
// DVI order, its end (eop).
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "pictures/special_text.h"

namespace morvex::pictures {

enum class ChunkKind {
    HeaderFile,  // a prologue or header= file, run at userdict level
    HeaderCode,  // the pre= or post= code of a header special
    Literal,     // a "!" special, run within TeXDict and SDict
    Start,       // dvips's @start
    PageBegin,   // bop
    Special,     // a ps:, ps::, or " special
    Figure,      // a PSfile special
    Color,       // the colour a colour special sets (TeXcolorrgb)
    PageEnd,     // eop
};

// The part of a figure file that is PostScript: all of it, or the section
// that a DOS EPS binary header names.
struct FigureSection {
    uint64_t offset = 0;
    uint64_t length = 0;
};

struct Chunk {
    ChunkKind kind = ChunkKind::Special;
    SpecialKind special = SpecialKind::Ps;  // Special: which kind
    std::string path;                       // HeaderFile, Figure: the file, resolved
    std::string code;                       // HeaderCode, Literal, Special: the PostScript;
                                            // Figure: its parameters (figureParameterCode)
    FigureSection section;                  // Figure
    int32_t h = 0, v = 0;                   // Special, Figure, Color: the DVI position, DVI units
    int32_t count0 = 0;                     // PageBegin: the page's \count0
    std::array<double, 3> rgb{};            // Color: 0..1
    int page = -1;                          // the job's page it belongs to; -1 before the pages
    uint64_t tag = 0;                       // the caller's, kept for its own use
};

// What the pages share: the DVI file's units and the page box.
struct JobFrame {
    float ptPerDvi = 1.0f / 65536;  // TeX points per DVI unit, magnification included
    int32_t mag = 1000;              // the preamble's magnification
    double widthBp = 612;            // the page box in big points
    double heightBp = 792;
};

struct Job {
    JobFrame frame;
    std::vector<Chunk> chunks;

    // Every file the job has Ghostscript read, once each, in job order.
    std::vector<std::string> files() const;
};

// Collects a job; headers and literals may come in any order with the
// pages (dvips gathers them from all pages first) and are put first.
class JobBuilder {
public:
    explicit JobBuilder(const JobFrame& frame) : frame(frame) {}

    void headerFile(const std::string& path, const std::string& pre = {}, const std::string& post = {});
    void literal(const std::string& code, uint64_t tag = 0);
    void beginPage(int32_t count0);
    // A ps:, ps::[begin], ps:: or " special.
    void special(SpecialKind kind, int32_t h, int32_t v, const std::string& code, uint64_t tag = 0);
    void figure(int32_t h, int32_t v, const std::string& path, const FigureSection& section,
                const std::vector<FigureParameter>& parameters, uint64_t tag = 0);
    void color(int32_t h, int32_t v, double r, double g, double b, uint64_t tag = 0);
    void endPage();

    Job finish() const;

private:
    JobFrame frame;
    std::vector<Chunk> headers;  // header files and their code, then literals
    std::vector<Chunk> literals;
    std::vector<Chunk> pages;
    int pageCount = 0;
    bool inPage = false;
};

}  // namespace morvex::pictures
