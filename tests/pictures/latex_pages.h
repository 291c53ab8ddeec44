#pragma once
// Documents made by latex at test time, their specials gathered from the
// DVI file by the test side's reader, the job built from them as morvex
// will build it, and the picture program run on it.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "pictures/dvi_specials.h"
#include "pictures/job_assembly.h"
#include "pictures/page_fixture.h"
#include "specials/color_special.h"

namespace morvex::testing {

struct LatexPictures {
    std::string dviPath;
    DviSpecials dvi;
    pictures::Job job;
    std::vector<std::string> problems;
    std::vector<size_t> specialOfChunk;  // the DVI special each page chunk came from (tag), by chunk
    PictureRun run;
};

// Whether the installation has every package (.sty) named.
inline bool havePackages(const std::vector<std::string>& packages) {
    for (const std::string& p : packages)
        if (runProcess({"kpsewhich", p + ".sty"}, "/").out.empty()) return false;
    return true;
}

// latex twice (cross-references, hyperref's anchors) on source in dir.
inline std::string makeDvi(const TempDir& dir, const std::string& name, const std::string& source) {
    if (!writeFile(dir.file(name + ".tex"), source)) return {};
    for (int pass = 0; pass < 2; ++pass) {
        ProcessResult r =
            runProcess({"latex", "-interaction=nonstopmode", "-halt-on-error", name + ".tex"}, dir.path);
        if (r.exitCode != 0) {
            ADD_FAILURE() << "latex failed on " << name << ":\n" << r.out;
            return {};
        }
    }
    return dir.file(name + ".dvi");
}

inline pictures::Job jobFromDvi(const std::string& dviPath, const DviSpecials& dvi, std::vector<std::string>& problems) {
    using namespace pictures;
    const FileAccess access = FileAccess::forDvi(dviPath);
    JobFrame frame;
    frame.ptPerDvi = dvi.ptPerDvi;
    frame.mag = dvi.mag;
    frame.widthBp = (dvi.maxH * static_cast<double>(dvi.ptPerDvi) + 72.27) * 72 / 72.27;
    frame.heightBp = (dvi.maxV * static_cast<double>(dvi.ptPerDvi) + 72.27) * 72 / 72.27;
    JobBuilder b(frame);
    for (const std::string& missing : addPrologues(b)) problems.push_back("no prologue " + missing);
    for (size_t i = 0; i < dvi.specials.size(); ++i) {
        ParsedSpecial p = parsePictureSpecial(dvi.specials[i].text);
        if (p.special && (p.special->kind == SpecialKind::Header || p.special->kind == SpecialKind::Literal))
            if (std::string why = addHeaderSpecial(b, *p.special, access, i); !why.empty()) problems.push_back(why);
    }
    ColorStack colors;
    size_t next = 0;
    for (size_t page = 0; page < dvi.count0.size(); ++page) {
        b.beginPage(dvi.count0[page]);
        const auto setColor = [&b, &colors](int32_t h, int32_t v, uint64_t tag) {
            Rgb c = colors.current();
            b.color(h, v, c.r / 255.0, c.g / 255.0, c.b / 255.0, tag);
        };
        setColor(0, 0, 0);
        for (; next < dvi.specials.size() && dvi.specials[next].pageIndex == static_cast<int>(page); ++next) {
            const DviSpecial& s = dvi.specials[next];
            ColorSpecial c = parseColorSpecial(s.text);
            if (c.command != ColorCommand::NotColor) {
                if (c.command == ColorCommand::Pop) colors.pop();
                else if (c.color && c.command == ColorCommand::Push) colors.push(*c.color);
                else if (c.color) colors.set(*c.color);
                setColor(s.h, s.v, next);
                continue;
            }
            ParsedSpecial p = parsePictureSpecial(s.text);
            if (!p.problem.empty()) problems.push_back(p.problem);
            if (!p.special || p.special->kind == SpecialKind::Header || p.special->kind == SpecialKind::Literal) continue;
            if (std::string why = addPageSpecial(b, *p.special, s.h, s.v, access, next); !why.empty())
                problems.push_back(why);
        }
        b.endPage();
    }
    return b.finish();
}

inline LatexPictures latexPictures(const TempDir& dir, const std::string& name, const std::string& source) {
    LatexPictures out;
    out.dviPath = makeDvi(dir, name, source);
    if (out.dviPath.empty()) return out;
    out.dvi = readDviSpecials(out.dviPath);
    EXPECT_TRUE(out.dvi.error.empty()) << out.dvi.error;
    out.job = jobFromDvi(out.dviPath, out.dvi, out.problems);
    out.run = runPictures(out.job);
    return out;
}

// The paints of the page, and the chunk each came from.
struct PaintAt {
    pictures::Paint paint;
    size_t chunk;
};
inline std::vector<PaintAt> paintsWithChunks(const PictureRun& run) {
    std::vector<PaintAt> out;
    for (size_t i = 0; i < run.report.chunks.size(); ++i)
        for (const pictures::Paint& p : run.report.chunks[i].paints) out.push_back({p, i});
    return out;
}

}  // namespace morvex::testing
