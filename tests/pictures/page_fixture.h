#pragma once
// One page of specials run through the picture program, and readers of its
// records for the tests of the painting operators.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "pictures/program_run.h"

namespace morvex::testing {

// A special at a DVI position given in TeX points from the DVI origin.
struct PageSpecial {
    pictures::SpecialKind kind = pictures::SpecialKind::Ps;
    std::string code;
    double x = 0, y = 0;
};

inline int32_t dviUnits(double pt) { return static_cast<int32_t>(std::lround(pt * 65536)); }

inline pictures::Job pageJob(const std::vector<PageSpecial>& specials) {
    pictures::JobBuilder b = jobWithPrologues();
    b.beginPage(1);
    for (const PageSpecial& s : specials) b.special(s.kind, dviUnits(s.x), dviUnits(s.y), s.code);
    b.endPage();
    return b.finish();
}

inline PictureRun runPage(const std::vector<PageSpecial>& specials, int timeLimit = 60) {
    return runPictures(pageJob(specials), timeLimit);
}

// The report of the i-th special of the page.
inline const pictures::ChunkReport& special(const PictureRun& run, const pictures::Job& job, size_t i) {
    return run.report.chunks.at(firstPageChunk(job) + i);
}

// Every paint of the page, in order.
inline std::vector<pictures::Paint> pagePaints(const PictureRun& run) {
    std::vector<pictures::Paint> all;
    for (const pictures::ChunkReport& c : run.report.chunks) all.insert(all.end(), c.paints.begin(), c.paints.end());
    return all;
}

template <class T>
std::vector<T> paintsOf(const PictureRun& run) {
    std::vector<T> out;
    for (const pictures::Paint& p : pagePaints(run))
        if (const T* t = std::get_if<T>(&p)) out.push_back(*t);
    return out;
}

struct Box {
    double x0 = 1e300, y0 = 1e300, x1 = -1e300, y1 = -1e300;
    void add(double x, double y) {
        x0 = std::min(x0, x), y0 = std::min(y0, y), x1 = std::max(x1, x), y1 = std::max(y1, y);
    }
};

// The box of a path's points (control points included), mapped by m. A
// move that no segment follows draws nothing and is left out (charpath and
// dvips's positioning leave such moves).
inline Box pathBox(const pictures::Path& p, const pictures::Affine& m = {}) {
    Box b;
    size_t at = 0;
    for (size_t i = 0; i < p.ops.size(); ++i) {
        const size_t n = p.ops[i] == pictures::PathOp::Curve ? 6 : p.ops[i] == pictures::PathOp::Close ? 0 : 2;
        const bool loneMove = p.ops[i] == pictures::PathOp::Move &&
                              (i + 1 == p.ops.size() || p.ops[i + 1] == pictures::PathOp::Move);
        for (size_t k = 0; k < n && !loneMove; k += 2) {
            double x = p.coords[at + k], y = p.coords[at + k + 1];
            b.add(m.a * x + m.c * y + m.e, m.b * x + m.d * y + m.f);
        }
        at += n;
    }
    return b;
}

// Positions are exact to Ghostscript's path precision (1/256 of a point or so).
constexpr double kTol = 0.02;

inline void expectBox(const Box& b, double x0, double y0, double x1, double y1, double tol = kTol) {
    EXPECT_NEAR(b.x0, x0, tol);
    EXPECT_NEAR(b.y0, y0, tol);
    EXPECT_NEAR(b.x1, x1, tol);
    EXPECT_NEAR(b.y1, y1, tol);
}

// A run that went to its end without errors or dropped lines.
inline void expectClean(const PictureRun& run) {
    EXPECT_TRUE(run.report.ready) << run.out << run.err;
    EXPECT_TRUE(run.report.finished) << run.out << run.err;
    EXPECT_EQ(run.report.rejectedLines, 0u) << run.out;
    EXPECT_FALSE(run.report.fatal);
    for (size_t i = 0; i < run.report.chunks.size(); ++i)
        for (const pictures::ChunkError& e : run.report.chunks[i].errors)
            ADD_FAILURE() << "chunk " << i << ": " << e.name << " in " << e.command;
}

// The DVI origin in page coordinates.
constexpr double kInch = 72.27;
// A big point in TeX points.
constexpr double kBp = 72.27 / 72;

}  // namespace morvex::testing
