// Writes the random part of the corpus of scripts/compare-builds.sh: DVI
// files that drive every command of the page loop and the writers with the
// real fonts of the TeX installation, and a minority that end on an error
// path. The same seed gives the same files.
//
//   morvex_make_corpus DIR COUNT SEED
//
// For each case NAME it writes NAME.dvi and NAME.args: the words of the
// command line after "-c CONFIG", separated by blanks; the DVI file is
// named in.dvi there. DIR/index.txt lists each case with its kind, its size
// and what is special about it.
#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "corpus_plan.h"
#include "support/bytes.h"

namespace {

using namespace morvex::corpus;

// Writes a whole document: pages with random commands, then the postamble.
class DocumentWriter {
public:
    struct Options {
        bool unsupported = false;     // an unsupported opcode in one page
        bool runawaySpecial = false;  // the last page ends in a special longer than the file
        bool noPages = false;
        bool longRun = false;         // a run of more than 4095 characters, mostly on the selected page
    };

    DocumentWriter(Rng& rng, const FontPlan& fonts, Options opts) : rng_(rng), fonts_(fonts), opts_(opts) {}

    std::vector<int32_t> counts;  // \count0 of each page
    std::vector<uint32_t> bops;   // offset of each bop
    int32_t selected = 1;         // the page to convert
    DviWriter w;

    void write() {
        uint32_t num = 25400000, den = 473628672, mag = 1000;
        if (rng_.chance(10)) {
            static const std::vector<uint32_t> kMags = {500, 1200, 2000, 1, 0};
            mag = rng_.pick(kMags);
        }
        if (rng_.chance(3)) {
            num = rng_.chance(50) ? 1 : rng_.next();
            den = rng_.chance(50) ? 0 : rng_.next();
        }
        w.pre(comment(), num, den, mag);
        if (rng_.chance(5)) w.b.data[1] = static_cast<uint8_t>(rng_.below(256));  // the format byte

        choosePages();
        for (size_t i = 0; i < counts.size(); ++i) {
            betweenPages();
            bops.push_back(static_cast<uint32_t>(w.b.size()));
            w.bop(counts[i]);
            page(i == longRunPage_, i == unsupportedPage_);
            if (opts_.runawaySpecial && i + 1 == counts.size()) {
                w.b.u1(240).u2(0xFFF0).text("runaway");
                break;
            }
            if (!rng_.chance(6) || i + 1 == counts.size()) w.eop();
        }
        betweenPages();
        postamble(num, den, mag);
        w.postpost();
    }

    std::string pageArgument() {
        std::string p = std::to_string(selected);
        switch (rng_.below(25)) {
            case 0: return selected >= 0 ? "+" + p : p;
            case 1: return selected >= 0 ? "00" + p : p;
            case 2: return p + "x";
            case 3: return selected == INT32_MAX ? "99999999999" : p;
            default: return p;
        }
    }

private:
    std::string comment() {
        switch (rng_.below(10)) {
            case 0: return "";
            case 1: return randomText(rng_, rng_.below(256), true);
            case 2: return std::string("TeX output\0hidden", 17);
            default: return " TeX output 2024.01.01:1200" + randomText(rng_, rng_.below(20), false);
        }
    }

    void choosePages() {
        uint32_t pages = opts_.noPages ? 0 : 1 + rng_.below(6);
        const bool oddNumbers = rng_.chance(30);
        static const std::vector<int32_t> kOdd = {1, 1, 2, 0, -1, -5, 3, 100, INT32_MIN, INT32_MAX};
        for (uint32_t i = 0; i < pages; ++i)
            counts.push_back(oddNumbers ? (rng_.chance(70) ? rng_.pick(kOdd) : rng_.between(-20, 20))
                                        : static_cast<int32_t>(i + 1));
        if (!counts.empty() && rng_.chance(88)) {
            selected = rng_.pick(counts);
        } else {
            selected = rng_.chance(50) ? 7777 : -3;
        }
        if (counts.empty()) return;
        const uint32_t anyPage = rng_.below(static_cast<uint32_t>(counts.size()));
        if (opts_.unsupported) unsupportedPage_ = anyPage;
        if (opts_.longRun) {
            // Mostly on the selected page, where the text is written.
            longRunPage_ = anyPage;
            for (size_t i = 0; i < counts.size(); ++i)
                if (counts[i] == selected && rng_.chance(85)) {
                    longRunPage_ = static_cast<uint32_t>(i);
                    break;
                }
        }
    }

    void betweenPages() {
        if (rng_.chance(15)) w.b.u1(138);  // nop
        if (rng_.chance(10)) defineAhead();
    }

    // Defines a number before the page that selects it, as a DVI file may.
    void defineAhead() {
        for (const auto& planned : fonts_.numbers) {
            if (!defined_.count(planned.k)) {
                fntdef(planned);
                return;
            }
        }
    }

    void fntdef(const PlannedFont& planned) {
        w.fntdef(planned.k, planned.name, planned.s, planned.d, planned.checksum, planned.area);
        defined_.insert(planned.k);
    }

    void selectFont(uint32_t k) {
        if (k < 64 && rng_.chance(85))
            w.b.u1(171 + k);
        else
            w.b.u1(235).u1(k);
    }

    void chooseFont() {
        if (!fonts_.undefined.empty() && rng_.chance(5)) {
            selectFont(fonts_.undefined[0]);
            return;
        }
        const PlannedFont& planned = rng_.pick(fonts_.numbers);
        // Most numbers are defined where they are first selected; some
        // never are, and some are defined again with the same values.
        if (!defined_.count(planned.k) ? rng_.chance(92) : rng_.chance(3)) fntdef(planned);
        selectFont(planned.k);
    }

    void characters(uint32_t n) {
        for (uint32_t i = 0; i < n; ++i) {
            uint32_t r = rng_.below(20);
            if (r == 0)
                w.b.u1(rng_.chance(50) ? 0 : 127);
            else if (r < 4)
                w.b.u1(rng_.below(128));
            else
                w.b.u1('a' + rng_.below(26));
        }
    }

    void longRun() {
        const uint32_t n = 4090 + rng_.below(200);
        for (uint32_t i = 0; i < n; ++i) {
            if (rng_.chance(2))
                w.b.u1(128).u1(rng_.below(256));
            else
                w.b.u1(rng_.chance(90) ? '0' + rng_.below(10) : rng_.below(128));
        }
    }

    void special() {
        if (rng_.chance(60)) {
            uint32_t n = rng_.chance(20) ? 0 : rng_.below(256);
            w.b.u1(239).u1(n).text(randomText(rng_, n, true));
        } else {
            uint32_t n = rng_.chance(10) ? 0 : rng_.below(rng_.chance(20) ? 1500 : 300);
            std::string t = randomText(rng_, n, true);
            if (n > 4 && rng_.chance(50)) t[n / 2] = '\0';
            w.b.u1(240).u2(n).text(t);
        }
    }

    void movement() {
        // right1..4, w0..4, x0..4, down1..4, y0..4, z0..4
        const uint32_t op = 143 + rng_.below(28);
        w.b.u1(op);
        int width = 0;
        if (op <= 146) width = static_cast<int>(op - 142);
        else if (op <= 151) width = static_cast<int>(op - 147);
        else if (op <= 156) width = static_cast<int>(op - 152);
        else if (op <= 160) width = static_cast<int>(op - 156);
        else if (op <= 165) width = static_cast<int>(op - 161);
        else width = static_cast<int>(op - 166);
        if (width > 0) operand(w.b, width, operandValue(rng_, width));
    }

    void unsupported() {
        static const std::vector<uint32_t> kOps = {129, 130, 131, 134, 135, 136, 236, 237, 238, 241,
                                                   242, 244, 245, 246, 247, 249, 250, 251, 252, 255};
        w.b.u1(rng_.pick(kOps)).u4(rng_.next());
    }

    void page(bool withLongRun, bool withUnsupported) {
        const uint32_t commands = rng_.chance(8) ? 0 : 3 + rng_.below(45);
        const uint32_t longRunAt = withLongRun ? rng_.below(commands + 1) : UINT32_MAX;
        const uint32_t unsupportedAt = withUnsupported ? rng_.below(commands + 1) : UINT32_MAX;
        int depth = 0;
        // Most pages select a font before their first characters, as TeX's do.
        if (commands > 0 && rng_.chance(80)) chooseFont();
        for (uint32_t i = 0; i <= commands; ++i) {
            if (i == longRunAt) {
                if (rng_.chance(90)) chooseFont();
                longRun();
            }
            if (i == unsupportedAt) unsupported();
            if (i == commands) break;
            uint32_t r = rng_.below(100);
            if (r < 28) {
                characters(1 + rng_.below(12));
            } else if (r < 34) {
                w.b.u1(128).u1(rng_.below(256));  // set1
            } else if (r < 38) {
                w.b.u1(133).u1(rng_.below(256));  // put1
            } else if (r < 43) {
                w.b.u1(rng_.chance(50) ? 132 : 137);
                w.b.u4(static_cast<uint32_t>(ruleSize(rng_))).u4(static_cast<uint32_t>(ruleSize(rng_)));
            } else if (r < 66) {
                movement();
            } else if (r < 74) {
                w.b.u1(141);  // push
                maxDepth_ = std::max(maxDepth_, ++depth + carried_);
            } else if (r < 81) {
                if (depth > 0 || rng_.chance(10)) {
                    w.b.u1(142);  // pop, sometimes with nothing pushed
                    --depth;
                }
            } else if (r < 90) {
                chooseFont();
            } else if (r < 93) {
                special();
            } else if (r < 95) {
                w.b.u1(138);  // nop
            } else if (r < 97) {
                if (!fonts_.variants.empty() && rng_.chance(60)) {
                    // Another font under a number already in use.
                    PlannedFont v = rng_.pick(fonts_.variants);
                    v.k = rng_.pick(fonts_.numbers).k;
                    fntdef(v);
                } else {
                    defineAhead();
                }
            } else {
                selectFont(rng_.below(256));  // any number, defined or not
            }
        }
        // The pushes of a page are mostly popped; the rest stay on the stack.
        while (depth > 0 && rng_.chance(95)) {
            w.b.u1(142);
            --depth;
        }
        if (depth > 0) carried_ += depth;
    }

    void postamble(uint32_t num, uint32_t den, uint32_t mag) {
        uint32_t l = rng_.chance(10) ? 0 : static_cast<uint32_t>(rng_.between(0, 60 * 72 * kPoint / 10));
        uint32_t u = rng_.chance(10) ? kNoPage : static_cast<uint32_t>(rng_.between(0, 50 * 72 * kPoint / 10));
        uint32_t s = static_cast<uint32_t>(maxDepth_);
        switch (rng_.below(10)) {
            case 0: s = maxDepth_ > 0 ? static_cast<uint32_t>(rng_.below(static_cast<uint32_t>(maxDepth_))) : 0; break;
            case 1: s = rng_.chance(50) ? 0xFFFF : 0x8000; break;  // negative depths
            case 2: s = static_cast<uint32_t>(maxDepth_) + rng_.below(300); break;
            default: break;
        }
        uint32_t t = static_cast<uint32_t>(counts.size());
        if (rng_.chance(5)) {
            num = rng_.next();
            mag = rng_.below(5000);
        }
        w.post(l, u, s, t, num, den, mag);
        if (rng_.chance(5)) return;  // no fonts in the postamble
        for (const auto& planned : fonts_.numbers) {
            if (!fontNamePlain(planned.area + planned.name)) continue;  // only pages may hold those
            if (rng_.chance(8)) continue;
            PlannedFont p = planned;
            if (rng_.chance(5)) p.s = p.s / 2 + 1;  // the postamble need not agree with the pages
            w.fntdef(p.k, p.name, p.s, p.d, p.checksum, p.area);
        }
        if (rng_.chance(5)) w.fntdef(200 + rng_.below(56), rng_.pick(kRealFonts).name);  // never used
    }

    static bool fontNamePlain(const std::string& n) {
        for (unsigned char c : n)
            if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                  c == '_' || c == '.' || c == '+' || c == '/'))
                return false;
        return true;
    }

    Rng& rng_;
    const FontPlan& fonts_;
    Options opts_;
    std::set<uint32_t> defined_;
    int maxDepth_ = 0;
    int carried_ = 0;
    uint32_t longRunPage_ = UINT32_MAX;
    uint32_t unsupportedPage_ = UINT32_MAX;
};

void patch4(std::string& bytes, size_t offset, uint32_t v) {
    if (offset + 4 > bytes.size()) return;
    for (int i = 0; i < 4; ++i) bytes[offset + static_cast<size_t>(i)] = static_cast<char>(v >> (24 - 8 * i));
}

struct Case {
    Kind kind = Kind::Normal;
    std::string dvi;
    std::string args;
    std::string note;
};

std::string frontArgs(Rng& rng, const std::string& page) {
    static const std::vector<std::string> kFront = {
        "-O nodir/out.log -p PAGE in.dvi",   // the trace log cannot be created
        "-o nodir/out.svg -p PAGE in.dvi",   // nor the SVG document
        "-f nodir/fonts.svg -p PAGE in.dvi", // nor the fonts file
        "-c /nonexistent-morvex-config -p PAGE in.dvi",
        "-z -p PAGE in.dvi",
        "in.dvi -p",
        "--bogus in.dvi",
        "--help",
        "--hel",
        "--version",
        "-p PAGE",
        "-p PAGE missing.dvi",
        "-p PAGE in.dvi other.dvi",
        "-d -p PAGE in.dvi",
    };
    std::string a = rng.pick(kFront);
    size_t at = a.find("PAGE");
    if (at != std::string::npos) a.replace(at, 4, page);
    return a;
}

Case makeCase(uint32_t seed, uint32_t index) {
    Rng rng(seed, index);
    Case c;
    c.kind = pickKind(rng);

    const bool oddFont = c.kind == Kind::Normal && rng.chance(10);
    FontPlan fonts = planFonts(rng, oddFont);
    DocumentWriter::Options opts;
    opts.unsupported = c.kind == Kind::Unsupported;
    opts.runawaySpecial = c.kind == Kind::RunawaySpecial;
    opts.noPages = c.kind == Kind::NoPages;
    opts.longRun = c.kind == Kind::Normal && rng.chance(6);
    c.note = fonts.note;
    if (opts.longRun) c.note += c.note.empty() ? "a long run" : ", a long run";
    DocumentWriter doc(rng, fonts, opts);
    doc.write();
    std::string bytes = doc.w.str();
    const uint32_t post = doc.w.postOffset;
    const size_t postPost = bytes.size() - 4 - 6;  // postpost() pads with four 223 bytes

    switch (c.kind) {
        case Kind::Truncated:
            bytes.resize(rng.below(static_cast<uint32_t>(bytes.size())));
            break;
        case Kind::BadPreamble:
            bytes[0] = static_cast<char>(rng.chance(50) ? 0 : 248);
            break;
        case Kind::BadTrailer:
            switch (rng.below(4)) {
                case 0: bytes.resize(postPost); bytes += std::string(rng.below(8), '\xdf'); break;  // padding only
                case 1: bytes.append(5 + rng.below(4), '\xdf'); break;                           // 9 to 12 bytes
                case 2: bytes[postPost] = static_cast<char>(rng.below(249)); break;                 // not post_post
                default: bytes.resize(postPost + 6); break;                                       // no padding at all
            }
            break;
        case Kind::BadPostPointer:
            switch (rng.below(3)) {
                case 0: patch4(bytes, postPost + 1, post + 1); break;
                case 1: patch4(bytes, postPost + 1, 0); break;
                default: patch4(bytes, postPost + 1, static_cast<uint32_t>(bytes.size()) + rng.below(1000)); break;
            }
            break;
        case Kind::BadPostambleDef: {
            // Another command among the postamble's font definitions, or a
            // name that is not a plain file name.
            std::string tail = bytes.substr(post + 29, postPost - post - 29);
            std::string bad;
            switch (rng.below(3)) {
                case 0: bad = "\x8a"; break;  // nop
                case 1: bad = std::string("\xf4\x00\x01", 3) + std::string(15, '\0'); break;  // fnt_def2
                default: {
                    Bytes b;
                    b.u1(243).u1(9).u4(0).u4(655360).u4(655360).u1(0).u1(6).text("cm~r10");
                    bad = b.str();
                    break;
                }
            }
            bytes = bytes.substr(0, post + 29) + bad + tail + bytes.substr(postPost);
            patch4(bytes, bytes.size() - 4 - 5, post);
            break;
        }
        case Kind::BrokenChain:
            if (doc.bops.empty()) break;
            switch (rng.below(5)) {
                case 0: patch4(bytes, post + 1, doc.bops.back() + 1); break;   // last page pointer off a bop
                case 1: patch4(bytes, post + 1, kNoPage); break;                // no pages said, pages there
                case 2: patch4(bytes, doc.bops.back() + 41, doc.bops.back()); break;  // a page pointing at itself
                case 3: patch4(bytes, doc.bops.front() + 41, 0); break;         // the first page pointing at pre
                default:
                    patch4(bytes, doc.bops[rng.below(static_cast<uint32_t>(doc.bops.size()))] + 41,
                           static_cast<uint32_t>(bytes.size()) + 100);          // past the end
                    break;
            }
            break;
        default:
            break;
    }
    c.dvi = bytes;

    const std::string page = doc.pageArgument();
    if (c.kind == Kind::Front) {
        c.args = frontArgs(rng, page);
    } else {
        switch (rng.below(20)) {
            case 0: c.args = "in.dvi"; break;  // the default page, 1
            case 1: c.args = "-p " + page + " in"; break;
            case 2: c.args = "-o page.svg -O trace.log -f glyphs.svg -p " + page + " in.dvi"; break;
            case 3: c.args = "-d 3 -p " + page + " in.dvi"; break;
            default: c.args = "-p " + page + " in.dvi"; break;
        }
    }
    return c;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s DIR COUNT SEED\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    char* end = nullptr;
    const unsigned long count = std::strtoul(argv[2], &end, 10);
    if (*argv[2] == '\0' || *end != '\0' || count > 100000) {
        std::fprintf(stderr, "%s: COUNT must be a number up to 100000\n", argv[0]);
        return 2;
    }
    const unsigned long seed = std::strtoul(argv[3], &end, 10);
    if (*argv[3] == '\0' || *end != '\0' || seed > UINT32_MAX) {
        std::fprintf(stderr, "%s: SEED must be a number up to %u\n", argv[0], UINT32_MAX);
        return 2;
    }
    std::string index;
    for (unsigned long i = 0; i < count; ++i) {
        Case c = makeCase(static_cast<uint32_t>(seed), static_cast<uint32_t>(i));
        char name[32];
        std::snprintf(name, sizeof name, "case-%04lu", i);
        if (!morvex::testing::writeFile(dir + "/" + name + ".dvi", c.dvi) ||
            !morvex::testing::writeFile(dir + "/" + name + ".args", c.args + "\n")) {
            std::fprintf(stderr, "%s: cannot write %s/%s\n", argv[0], dir.c_str(), name);
            return 1;
        }
        index += std::string(name) + " " + kindName(c.kind) + " " + std::to_string(c.dvi.size()) + " bytes" +
                 (c.note.empty() ? "" : "; " + c.note) + "\n";
    }
    if (!morvex::testing::writeFile(dir + "/index.txt", index)) {
        std::fprintf(stderr, "%s: cannot write %s/index.txt\n", argv[0], dir.c_str());
        return 1;
    }
    return 0;
}
