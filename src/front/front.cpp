#include "front/front.h"

#include <getopt.h>
#include <sys/stat.h>

#include <climits>
#include <cstring>

#include "base/printable.h"
#include "base/version.h"
#include "front/config_dir.h"

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
    // The usage text lists the options of old; these two lines name the rest.
    std::fprintf(out, "Converts pages of a TeX DVI file to SVG: text with SVG fonts, or with --paths glyphs as paths, "
                      "--pages=LIST and --bbox=page|min|paper|preview.\n");
    std::fprintf(out, "Also --cache[=DIR] keeps glyphs between runs, --gs-time-limit=SECONDS and "
                      "--gs-memory-limit=MIB bound Ghostscript, --figure-dir=DIR lets pictures read DIR.\n");
}

// What readoptions decided: go on with the run, or end it with a code.
struct OptionResult {
    bool proceed = true;
    int exitCode = kExitOk;
    bool configNamed = false;  // -c was given
};

// The values of -p and --gs-time-limit; false, with the diagnostic on
// standard error, for a value refused. A page that is no whole number is
// refused rather than read as some other page: nothing is converted that
// was not asked for.
bool readPage(const char* program, const char* text, Settings& settings) {
    const std::optional<int32_t> page = parsePage(text);
    if (!page) {
        std::fprintf(stderr, "%s: -p takes a page number, a whole number from %d to %d; \"%s\" is not one\n",
                     program, INT32_MIN, INT32_MAX, printable(text).c_str());
        return false;
    }
    settings.selectedPage = *page;
    settings.pageGiven = true;
    return true;
}

bool readPageList(const char* program, const char* text, Settings& settings) {
    PageListParse parsed = parsePageList(text);
    if (!parsed.list) {
        std::fprintf(stderr, "%s: --pages=%s: %s\n", program, printable(text).c_str(), parsed.error.c_str());
        return false;
    }
    settings.pages = std::move(parsed.list);
    return true;
}

bool readBoxKind(const char* program, const char* text, Settings& settings) {
    settings.bbox = boxKindNamed(text);
    if (!settings.bbox)
        std::fprintf(stderr, "%s: --bbox takes page, min, paper or preview, not %s\n", program,
                     printable(text).c_str());
    return settings.bbox.has_value();
}

// Options that cannot go together, told once all are read.
bool optionsAgree(const char* program, const Settings& settings) {
    if (settings.pageGiven && settings.pages) {
        std::fprintf(stderr, "%s: -p chooses pages by number and --pages by position: give one of them\n", program);
        return false;
    }
    if (settings.bbox && !settings.paths) {
        std::fprintf(stderr, "%s: --bbox sets the box of the --paths document; give --paths too\n", program);
        return false;
    }
    return true;
}

bool isDirectory(const char* path) {
    struct stat st {};
    return *path != '\0' && stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

bool readGsTimeLimit(const char* program, const std::string& text, Settings& settings) {
    const bool digits =
        !text.empty() && text.size() <= 5 && text.find_first_not_of("0123456789") == std::string::npos;
    const int seconds = digits ? std::stoi(text) : 0;
    if (seconds < 1 || seconds > 86400) {
        std::fprintf(stderr, "%s: --gs-time-limit takes a number of seconds from 1 to 86400\n", program);
        return false;
    }
    settings.gsTimeLimit = seconds;
    return true;
}

// A font program may allocate without end: each Ghostscript run gets this
// much address space. Below 64 MiB Ghostscript cannot start.
bool readGsMemoryLimit(const char* program, const std::string& text, Settings& settings) {
    constexpr int kMin = 64, kMax = 1 << 20;  // MiB: up to 1 TiB
    const bool digits =
        !text.empty() && text.size() <= 7 && text.find_first_not_of("0123456789") == std::string::npos;
    const int mib = digits ? std::stoi(text) : 0;
    if (mib < kMin || mib > kMax) {
        std::fprintf(stderr, "%s: --gs-memory-limit takes a number of MiB from %d to %d\n", program, kMin, kMax);
        return false;
    }
    settings.gsMemoryLimit = mib;
    return true;
}

OptionResult readOptions(int argc, char** argv, Settings& settings, std::FILE* out) {
    // The two long options of old keep their return values; the later
    // ones take values that no short option has.
    enum : int { kOptPaths = 256, kOptGsTimeLimit, kOptCache, kOptGsMemoryLimit, kOptPages, kOptBbox, kOptFigureDir };
    static const struct option longOptions[] = {
        {"version", no_argument, nullptr, 0},
        {"help", no_argument, nullptr, 1},
        {"paths", no_argument, nullptr, kOptPaths},
        {"gs-time-limit", required_argument, nullptr, kOptGsTimeLimit},
        {"cache", optional_argument, nullptr, kOptCache},
        {"gs-memory-limit", required_argument, nullptr, kOptGsMemoryLimit},
        {"pages", required_argument, nullptr, kOptPages},
        {"bbox", required_argument, nullptr, kOptBbox},
        {"figure-dir", required_argument, nullptr, kOptFigureDir},
        {nullptr, 0, nullptr, 0},
    };
    optind = 0;  // full re-initialisation, so a second run in one process starts afresh
    bool configNamed = false;
    for (;;) {
        int c = getopt_long(argc, argv, "p:o:O:d:f:c:", longOptions, nullptr);
        if (c == -1) {
            if (!optionsAgree(argv[0], settings)) return {false, kExitOption};
            return {true, kExitOk, configNamed};
        }
        switch (c) {
            case 'p':
                std::fprintf(out, "Page: %s\n", optarg);
                if (!readPage(argv[0], optarg, settings)) return {false, kExitOption};
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
                std::fprintf(out, "DEBUG on level:\n");  // the level has no effect
                break;
            case 'f':
                std::fprintf(out, "SVG Font is now: %s\n", optarg);
                settings.fontsPath = optarg;
                break;
            case 'c':
                std::fprintf(out, "CNF DIR is now: %s\n", optarg);
                settings.configDir = optarg;
                configNamed = true;
                break;
            case kOptPaths:
                settings.paths = true;
                break;
            case kOptCache:
                settings.cache = true;
                if (optarg != nullptr) settings.cacheDir = std::string(optarg);
                break;
            case kOptPages:
                if (!readPageList(argv[0], optarg, settings)) return {false, kExitOption};
                break;
            case kOptBbox:
                if (!readBoxKind(argv[0], optarg, settings)) return {false, kExitOption};
                break;
            case kOptFigureDir:
                if (!isDirectory(optarg)) {
                    std::fprintf(stderr, "%s: --figure-dir names no directory: %s\n", argv[0],
                                 printable(optarg).c_str());
                    return {false, kExitOption};
                }
                settings.figureDirs.emplace_back(optarg);
                break;
            case kOptGsTimeLimit:
                if (!readGsTimeLimit(argv[0], optarg, settings)) return {false, kExitOption};
                break;
            case kOptGsMemoryLimit:
                if (!readGsMemoryLimit(argv[0], optarg, settings)) return {false, kExitOption};
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

}  // namespace

std::optional<int32_t> parsePage(const std::string& text) {
    size_t i = 0;
    const bool negative = !text.empty() && text[0] == '-';
    if (!text.empty() && (text[0] == '+' || text[0] == '-')) i = 1;
    if (i == text.size()) return std::nullopt;
    // Accumulated as a negative number so that INT32_MIN is reachable; out
    // of range as soon as it leaves the 32-bit range.
    int64_t value = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return std::nullopt;
        value = value * 10 - (text[i] - '0');
        if (value < INT32_MIN) return std::nullopt;
    }
    if (!negative) {
        if (value < -INT32_MAX) return std::nullopt;
        value = -value;
    }
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
    if (!opts.configNamed) settings.configSearch = configCandidates();
    return convert(settings, argv[0], out);
}

}  // namespace morvex
