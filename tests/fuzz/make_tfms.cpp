// Writes the fixture TFM files of the whole-run fuzz target into the
// directory given: make_tfms DIR. The fonts carry the names that the test
// documents use, with widths of their own (these are not TeX's metrics).
#include <cstdio>
#include <string>
#include <vector>

#include "tfm/tfm_fixture.h"

using morvex::testing::TfmWriter;
using morvex::testing::writeFile;

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_tfms DIR\n");
        return 2;
    }
    const std::string dir = argv[1];
    const char* names[] = {"cmr10",  "cmr7",   "cmr5",   "cmmi10", "cmmi7",  "cmsy10",   "cmsy7",   "cmex10",
                           "cmbx10", "cmtt10", "cmsl10", "cmti10", "cmr12",  "ecrm1000", "mvxpage", "mvxfrac"};
    int n = 0;
    for (const char* name : names) {
        // Codes 0..255 over seven widths; each font its own pattern, and
        // one code with the largest width and one of a negative width.
        std::vector<uint8_t> index(256);
        for (int c = 0; c < 256; ++c) index[c] = static_cast<uint8_t>(1 + (c + n) % 7);
        index[255] = 8;
        std::vector<double> widths = {0.2, 0.3, 0.4, 0.5, 0.6, 0.7, 0.8 + n / 100.0, -0.25};
        ++n;
        const std::string path = dir + "/" + name + ".tfm";
        if (!writeFile(path, TfmWriter::font(0, index, widths).bytes().str())) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}
