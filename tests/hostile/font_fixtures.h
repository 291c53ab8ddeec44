#pragma once
// Fonts a hostile installation may hold, each with cmr10's metrics and a
// line in a font map beside the build's: a Type 1 file whose program never
// ends, one that keeps allocating, and cmr10 re-encoded by an encoding that
// names glyphs cmr10 lacks. Their directory is searched first by the run.
#include <string>
#include <utility>
#include <vector>

#include "support/bytes.h"
#include "support/morvex_run.h"
#include "support/process.h"

namespace morvex::testing {

inline std::string kpsewhich(const std::string& name) {
    const ProcessResult r = runProcess({"kpsewhich", name}, "/");
    return r.out.substr(0, r.out.find('\n'));
}

// An encoding of 256 names: the letters at their ASCII codes, but /Euro
// and /bullet, which cmr10 has not, at 'A' and 'B'.
inline std::string lackingEncoding() {
    std::string text = "/MvxEnc [\n";
    for (int c = 0; c < 256; ++c) {
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'C' && c <= 'Z');
        const std::string name = letter ? std::string(1, static_cast<char>(c)) : ".notdef";
        text += c == 'A' ? "/Euro\n" : c == 'B' ? "/bullet\n" : "/" + name + "\n";
    }
    return text + "] def\n";
}

struct HostileFonts {
    TempDir fonts;
    ConfigDir config;

    HostileFonts() : config(readFile(kBuildConfigDir + "/morvex.map") + mapLines()) {
        const std::string metrics = readFile(kpsewhich("cmr10.tfm"));
        for (const std::string name : {"mvxloop", "mvxhungry", "mvxnotdef"})
            writeFile(fonts.file(name + ".tfm"), metrics);
        writeFile(fonts.file("mvxloop.pfb"), "%!PS-AdobeFont-1.0: MvxLoop\n{ } loop\n");
        writeFile(fonts.file("mvxhungry.pfb"),
                  "%!PS-AdobeFont-1.0: MvxHungry\n/a null def { /a [ a 1000000 array ] def } loop\n");
        writeFile(fonts.file("mvxenc.enc"), lackingEncoding());
    }

    // The environment that makes kpathsea look here first.
    std::vector<std::string> env() const {
        return {"TFMFONTS=" + fonts.path + ":", "T1FONTS=" + fonts.path + ":", "ENCFONTS=" + fonts.path + ":"};
    }

    static std::string mapLines() {
        return "\nmvxloop MvxLoop <mvxloop.pfb\n"
               "mvxhungry MvxHungry <mvxhungry.pfb\n"
               "mvxnotdef CMR10 \"MvxEnc ReEncodeFont\" <mvxenc.enc <cmr10.pfb\n";
    }
};

// One page on which font k (the k-th name) sets "AB".
inline std::string fontsPage(const std::vector<std::string>& names) {
    DviWriter w;
    w.pre("fonts").bop(1);
    for (uint32_t k = 0; k < names.size(); ++k) {
        w.fntdef(k, names[k]);
        w.b.u1(171 + k).text("AB");
    }
    w.eop().post();
    for (uint32_t k = 0; k < names.size(); ++k) w.fntdef(k, names[k]);
    w.postpost();
    return w.str();
}

}  // namespace morvex::testing
