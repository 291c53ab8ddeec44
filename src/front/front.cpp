#include "front/front.h"

#include <getopt.h>

#include <cctype>
#include <climits>
#include <cstring>

#include "dvi/dvibase.h"
#include "dvi/dvipage.h"
#include "dvi/file_handle.h"
#include "dvi/run.h"

namespace morvex {

namespace {

constexpr const char* USAGE =
    "Usage: morvex [OPTIONS] file[.dvi]\n\n"
    "  -o FILE\tFILE name for SVG output, default out.svg\n"
    "  -O FILE\tFILE name for LOG output, default out.log\n"
    "  -f FILE\tFILE name for SVG Fonts output, default fonts.svg\n"
    "  -t\t\ttry generate new TFM files by mktextfm, default\n"
    "  -d LEVEL\tset debug level\n"
    "  -p PAGE\tselects page in DVI for output, default first\n\n"
    "  -c DIR\tconfig files directory DIR,\n\t\tdefault %s\n\n"
    "  --help\tdisplay help and exit\n"
    "  --version\toutput version and exit\n\n";

void printusage(std::FILE* out) { std::fprintf(out, USAGE, DEFAULT_CONFIG_DIR); }

void printversion(std::FILE* out) {
    std::fprintf(out, "MORVEX version %s\n", MORVEX_VERSION);
    std::fprintf(out, "Converts one page of a TeX DVI file to SVG text with SVG fonts.\n");
    std::fprintf(out, "Font metrics through kpathsea, glyph outlines through Ghostscript.\n");
}

// What readoptions decided: go on with the run, or end it with a code.
struct OptionResult {
    bool proceed = true;
    int exitCode = EXIT_OK;
};

OptionResult readoptions(int argc, char** argv, Settings& settings, std::FILE* out) {
    static const struct option longOptions[] = {
        {"version", no_argument, nullptr, 0},
        {"help", no_argument, nullptr, 1},
        {nullptr, 0, nullptr, 0},
    };
    optind = 0;  // full re-initialisation, so a second run in one process starts afresh
    for (;;) {
        int c = getopt_long(argc, argv, "p:o:O:d:f:c:", longOptions, nullptr);
        if (c == -1) return {};
        switch (c) {
            case 'p':
                std::fprintf(out, "Page: %s\n", optarg);
                settings.selectedPage = parsepage(optarg);
                break;
            case 'o':
                std::fprintf(out, "SVG output is now: %s\n", optarg);
                settings.svgPath = optarg;
                break;
            case 'O':
                std::fprintf(out, "LOG output is now: %s\n", optarg);
                settings.logPath = optarg;
                break;
            case 'd':
                std::fprintf(out, "DEBUG on level:\n");
                (void)parsepage(optarg);  // read and discarded
                break;
            case 'f':
                std::fprintf(out, "SVG Font is now: %s\n", optarg);
                settings.fontsPath = optarg;
                break;
            case 'c':
                std::fprintf(out, "CNF DIR is now: %s\n", optarg);
                settings.configDir = optarg;
                break;
            case 0:
                printversion(out);
                return {false, EXIT_VERSION};
            case 1:
                printusage(out);
                return {false, EXIT_HELP};
            default:
                return {false, EXIT_OPTION};
        }
    }
}

const char* dvibasemessage(int code) {
    switch (code) {
        case DVIBASE_NO_POST_POST: return "\nCan not find DVI_POST_POST.\n";
        case DVIBASE_NO_POST: return "\nCan not find DVI_POST.\n";
        case DVIBASE_BAD_FNT_DEF: return "\nError in DVI: FNT_DEF_i.\n";
        case DVIBASE_NO_PRE: return "\nCan not find DVI_PRE.\n";
        case DVIBASE_NO_BOP: return "Error in DVI: DVI_BOP.\n";
        default: return "";
    }
}

}  // namespace

int32_t parsepage(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // Accumulate as a negative number so INT32_MIN is reachable; saturate
    // instead of overflowing.
    int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 - (text[i] - '0');
        if (value < INT64_C(-2147483649)) value = INT64_C(-2147483649);
    }
    if (!negative) value = -value;
    if (value > INT32_MAX) return INT32_MAX;
    if (value < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(value);
}

std::string dviname(const std::string& operand) {
    if (operand.find(".dvi") != std::string::npos) return operand;
    return operand + ".dvi";
}

int morvexmain(int argc, char** argv, std::FILE* out) {
    Settings settings;
    OptionResult opts = readoptions(argc, argv, settings, out);
    if (!opts.proceed) return opts.exitCode;

    std::fprintf(out, "This is MORVEX version %s\n", MORVEX_VERSION);
    if (optind >= argc) {
        printusage(out);
        return EXIT_NO_OPERAND;
    }
    const char* program = argv[0];
    std::string dviName = dviname(argv[optind]);

    FileHandle dvi = openFile(dviName.c_str(), "rb");
    if (!dvi) {
        std::fprintf(out, "%s: File %s doesn't exists.\n", program, dviName.c_str());
        return EXIT_NO_DVI;
    }
    FileHandle log = openFile(settings.logPath.c_str(), "wb");
    if (!log) {
        std::fprintf(out, "%s: Can not open %s as output file.\n", program, settings.logPath.c_str());
        return EXIT_LOG_OPEN;
    }
    FileHandle svg = openFile(settings.svgPath.c_str(), "wb");
    if (!svg) {
        std::fprintf(out, "%s: Can not open %s as output file.\n", program, settings.svgPath.c_str());
        return EXIT_SVG_OPEN;
    }
    std::fprintf(out, "Opening files: %s (r) %s %s (w).\n", dviName.c_str(), settings.logPath.c_str(),
                 settings.svgPath.c_str());

    std::fprintf(svg.get(), "<?xml %s %s standalone=\"yes\" ?>", "version=\"1.0\"", "encoding=\"utf-8\"");
    std::fprintf(svg.get(), "\n<!-- Generator: MORVEX version %s -->", MORVEX_VERSION);

    if (std::fseek(dvi.get(), 0, SEEK_SET) != 0) {
        std::fprintf(out, "\nCan not seek dvi file\n");
        return EXIT_SEEK;
    }

    // The run's state is large (tables by font number), so it lives on the heap.
    auto run = std::make_unique<Run>();
    run->out = out;
    run->selectedPage = settings.selectedPage;

    int rc = dvibase(*run, settings.fontsPath, dvi.get(), svg.get(), log.get());
    if (rc != DVIBASE_OK) {
        std::fprintf(out, "%s", dvibasemessage(rc));
        return rc;
    }

    // A stop inside the pages is passed on as the exit code: the SVG
    // document is then cut short and must not pass for a complete one.
    int pageResult = dvipage(*run, dvi.get(), settings.configDir, settings.fontsPath, svg.get(), log.get());
    dvi.reset();
    svg.reset();
    log.reset();
    return pageResult;
}

}  // namespace morvex
