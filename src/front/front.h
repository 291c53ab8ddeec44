#pragma once
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "fonts/page_glyphs.h"
#include "front/page_list.h"
#include "svg/page_box.h"

namespace morvex {

// The build sets it (CMake's MORVEX_DEFAULT_CONFIG_DIR), so that
// morvex-update-map looks where the program looks.
constexpr const char* kDefaultConfigDir = MORVEX_DEFAULT_CONFIG_DIR;

// Exit codes of the front end besides those of dvibase (12..16), of the
// page loop (102, 200) and of the SVG fonts (60 + its result).
enum ExitCode : int {
    kExitOk = 0,
    kExitNoDvi = 10,
    kExitSeek = 11,
    kExitLogOpen = 30,
    kExitLogWrite = 31,
    kExitSameFile = 40,
    kExitSvgOpen = 50,
    kExitSvgWrite = 51,
    kExitSvgFontBase = 60,
    // No configuration directory found: the code of a font map that cannot
    // be opened, which is what a run without one would end with.
    kExitNoConfig = kExitSvgFontBase + 2,
    // A picture special that was not drawn whole (a PostScript error, a
    // special that never ended, a picture run that failed).
    kExitPictures = 70,
    kExitNoSuchPage = 104,
    kExitVersion = 201,
    kExitHelp = 202,
    kExitOption = 204,
    kExitNoOperand = 205,
};

struct Settings {
    std::string dviName;  // the operand, with ".dvi" appended unless it holds it
    std::string logPath = "out.log";
    std::string svgPath = "out.svg";
    std::string fontsPath = "fonts.svg";
    std::string configDir = kDefaultConfigDir;
    // When not empty, the directories looked in for the configuration; the
    // first that holds it becomes configDir (-c names none).
    std::vector<std::string> configSearch;
    int32_t selectedPage = 1;
    bool pageGiven = false;          // -p was given
    std::optional<PageList> pages;   // --pages: pages by position instead of \count0
    std::optional<BoxKind> bbox;     // --bbox: the box of --paths pages
    int gsTimeLimit = 60;  // seconds for one Ghostscript run
    int gsMemoryLimit = kDefaultGsMemoryLimit;  // MiB of address space for one Ghostscript run
    bool paths = false;    // the self-contained document with glyphs as paths
    std::vector<std::string> figureDirs;  // --figure-dir: further directories pictures may read
    bool cache = false;    // glyphs kept between runs
    std::optional<std::string> cacheDir;  // where; none: the user's cache directory
};

// A page number: a whole number, an optional sign and decimal digits with
// nothing around them, in the signed 32-bit range of \count0; none for
// any other text.
std::optional<int32_t> parsePage(const std::string& text);

// ".dvi" is appended unless the operand holds it somewhere already.
std::string dviFileName(const std::string& operand);

// The conversion once the options are read: files, the DVI frame, the
// pages, the SVG fonts. program names the program in messages. Returns the
// exit code.
int convert(const Settings& settings, const char* program, std::FILE* out);

// The whole run: options, then the conversion. Returns the exit code.
int morvexMain(int argc, char** argv, std::FILE* out);

}  // namespace morvex
