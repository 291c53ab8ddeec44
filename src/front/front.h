#pragma once
#include <cstdint>
#include <cstdio>
#include <string>

namespace morvex {

constexpr const char* MORVEX_VERSION = "0.7.1";
constexpr const char* DEFAULT_CONFIG_DIR = "/usr/local/share/texmf/morvex";

// Exit codes of the front end besides those of dvibase (12..16) and dvipage.
enum ExitCode : int {
    EXIT_OK = 0,
    EXIT_NO_DVI = 10,
    EXIT_SEEK = 11,
    EXIT_LOG_OPEN = 30,
    EXIT_SVG_OPEN = 50,
    EXIT_VERSION = 201,
    EXIT_HELP = 202,
    EXIT_OPTION = 204,
    EXIT_NO_OPERAND = 205,
};

struct Settings {
    std::string logPath = "out.log";
    std::string svgPath = "out.svg";
    std::string fontsPath = "fonts.svg";
    std::string configDir = DEFAULT_CONFIG_DIR;
    int32_t selectedPage = 1;
};

// atoi's reading of a page number (blanks, a sign, digits up to the first
// non-digit, 0 without digits), saturated to the 32-bit range.
int32_t parsepage(const std::string& text);

// ".dvi" is appended unless the operand holds it somewhere already.
std::string dviname(const std::string& operand);

// The whole run: options, files, dvibase, dvipage. Returns the exit code.
int morvexmain(int argc, char** argv, std::FILE* out);

}  // namespace morvex
