#include "front/front.h"

#include <getopt.h>

#include <cctype>
#include <climits>
#include <cstring>

#include "base/dvi_frame.h"
#include "base/file_handle.h"
#include "base/interrupt.h"
#include "base/version.h"
#include "dvi/dvibase.h"
#include "dvi/dvipage.h"
#include "svg/svgfont.h"
#include "svg/text_document.h"

namespace morvex {

namespace {

constexpr const char* kUsage =
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

void printUsage(std::FILE* out) { std::fprintf(out, kUsage, kDefaultConfigDir); }

void printVersion(std::FILE* out) {
    std::fprintf(out, "MORVEX version %s\n", kMorvexVersion);
    std::fprintf(out, "Converts one page of a TeX DVI file to SVG text with SVG fonts.\n");
    std::fprintf(out, "Font metrics through kpathsea, glyph outlines through Ghostscript.\n");
}

// What readoptions decided: go on with the run, or end it with a code.
struct OptionResult {
    bool proceed = true;
    int exitCode = kExitOk;
};

OptionResult readOptions(int argc, char** argv, Settings& settings, std::FILE* out) {
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
                settings.selectedPage = parsePage(optarg);
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
                (void)parsePage(optarg);  // read and discarded
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
                printVersion(out);
                return {false, kExitVersion};
            case 1:
                printUsage(out);
                return {false, kExitHelp};
            default:
                return {false, kExitOption};
        }
    }
}

const char* dvibaseMessage(int code) {
    switch (code) {
        case kDvibaseNoPostPost: return "\nCan not find DVI_POST_POST.\n";
        case kDvibaseNoPost: return "\nCan not find DVI_POST.\n";
        case kDvibaseBadFntDef: return "\nError in DVI: FNT_DEF_i.\n";
        case kDvibaseNoPre: return "\nCan not find DVI_PRE.\n";
        case kDvibaseNoBop: return "Error in DVI: DVI_BOP.\n";
        default: return "";
    }
}

}  // namespace

int32_t parsePage(const std::string& text) {
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

std::string dviFileName(const std::string& operand) {
    if (operand.find(".dvi") != std::string::npos) return operand;
    return operand + ".dvi";
}

int morvexMain(int argc, char** argv, std::FILE* out) {
    Settings settings;
    OptionResult opts = readOptions(argc, argv, settings, out);
    if (!opts.proceed) return opts.exitCode;

    std::fprintf(out, "This is MORVEX version %s\n", kMorvexVersion);
    if (optind >= argc) {
        printUsage(out);
        return kExitNoOperand;
    }
    settings.dviName = dviFileName(argv[optind]);
    return convert(settings, argv[0], out);
}

int convert(const Settings& settings, const char* program, std::FILE* out) {
    const std::string& dviName = settings.dviName;
    FileHandle dvi = openFile(dviName.c_str(), "rb");
    if (!dvi) {
        std::fprintf(out, "%s: File %s doesn't exists.\n", program, dviName.c_str());
        return kExitNoDvi;
    }
    FileHandle log = openFile(settings.logPath.c_str(), "wb");
    if (!log) {
        std::fprintf(out, "%s: Can not open %s as output file.\n", program, settings.logPath.c_str());
        return kExitLogOpen;
    }
    FileHandle svg = openFile(settings.svgPath.c_str(), "wb");
    if (!svg) {
        std::fprintf(out, "%s: Can not open %s as output file.\n", program, settings.svgPath.c_str());
        return kExitSvgOpen;
    }
    std::fprintf(out, "Opening files: %s (r) %s %s (w).\n", dviName.c_str(), settings.logPath.c_str(),
                 settings.svgPath.c_str());

    TextDocument document(std::move(svg), log.get(), out);
    document.head();

    if (std::fseek(dvi.get(), 0, SEEK_SET) != 0) {
        std::fprintf(out, "\nCan not seek dvi file\n");
        return kExitSeek;
    }

    DviFrame frame;
    int rc = dvibase(frame, dvi.get(), log.get(), out);
    if (rc == kDvibaseOk || rc == kDvibaseBadFntDef || rc == kDvibaseNoBop) document.prologue(frame, settings.fontsPath);
    if (rc != kDvibaseOk) {
        std::fprintf(out, "%s", dvibaseMessage(rc));
        return rc;
    }

    // A stop inside the pages is passed on as the exit code: the SVG
    // document is then cut short and must not pass for a complete one.
    PageInterpreter pages(settings.selectedPage, frame.stackCapacity, log.get(), out);
    int result = pages.dvipage(dvi.get(), document);
    if (result == kDvipageOk) {
        document.end();
        FontBuildSettings fontSettings;
        fontSettings.configDir = settings.configDir;
        fontSettings.fontsPath = settings.fontsPath;
        fontSettings.limits.parallel = processorCount();
        fontSettings.limits.timeLimit = settings.gsTimeLimit;
        int fontsResult = 0;
        {
            InterruptGuard guard;
            fontsResult = svgfontbuild(fontSettings, pages.usedFonts(), log.get(), out);
            if (int sig = interruptSignal(); sig != 0) {
                // The runs are ended and the private directory is gone;
                // what was written stays, and the process ends as the
                // signal would have ended it.
                std::fflush(out);
                dvi.reset();
                document.close();
                log.reset();
                endWithSignal(sig);
            }
        }
        pages.dvipagefontfree();
        if (fontsResult != 0) result = kExitSvgFontBase + fontsResult;
    }
    dvi.reset();
    document.close();
    log.reset();
    return result;
}

}  // namespace morvex
