#include "fonts/ghostscript_command.h"

namespace morvex {

GsCommand ghostscriptCommand(const FontFiles& files, const MapEntry& entry, const std::string& symbols,
                             const std::string& fontName, const ConfigFiles& config) {
    // Ghostscript reads the font and the encodings and writes the generated
    // font only by these permissions; SAFER is asked for explicitly, since
    // a font file is a program.
    struct Word {
        const char* option;
        std::string value;
        bool quoted;
    };
    std::vector<Word> words = {
        {"gs", "", false},
        {"-q", "", false},
        {"-dNODISPLAY", "", false},
        {"-dBATCH", "", false},
        {"-dNOPAUSE", "", false},
        {"-dQUIT", "", false},
        {"-dSAFER", "", false},
        {"--permit-file-read=", files.type1Path, true},
        {"--permit-file-read=", config.encPath, true},
        {"--permit-file-write=", fontName, true},
        {"-sFONTFILE=", files.type1Path, true},
        {"-dTHEFONT=", "/" + entry.fntDvi, true},
        {"-sSYMBOLS=", "[ " + symbols + " ]", true},
        {"-dENCODING=", "/" + config.encodingName, true},
        {"-sENCFILE=", config.encPath, true},
        {"-sFONTOUT=", fontName, true},
    };
    if (!files.encVectorPath.empty()) {
        words.push_back({"--permit-file-read=", files.encVectorPath, true});
        words.push_back({"-sENCVECFILE=", files.encVectorPath, true});
    }
    if (!entry.slant.empty()) words.push_back({"-dSLANT=", entry.slant, false});
    if (!entry.extend.empty()) words.push_back({"-dEXTEND=", entry.extend, false});
    words.push_back({"", config.psPath, false});

    GsCommand cmd;
    for (const Word& w : words) {
        cmd.argv.push_back(w.option + w.value);
        if (!cmd.line.empty()) cmd.line += ' ';
        cmd.line += w.option;
        cmd.line += w.quoted ? "\"" + w.value + "\"" : w.value;
    }
    return cmd;
}

std::string postScriptString(const std::string& bytes) {
    static const char kHex[] = "0123456789abcdef";
    std::string s = "<";
    for (unsigned char c : bytes) {
        s += kHex[c >> 4];
        s += kHex[c & 15];
    }
    return s + ">";
}

GsCommand batchCommand(const std::string& jobsPath, const std::vector<std::string>& readPaths,
                       const std::vector<std::string>& fontNames, const ConfigFiles& config) {
    std::vector<std::pair<std::string, std::string>> words = {
        {"gs", ""},      {"-q", ""},       {"-dNODISPLAY", ""}, {"-dBATCH", ""}, {"-dNOPAUSE", ""},
        {"-dQUIT", ""},  {"-dSAFER", ""},  {"--permit-file-read=", jobsPath},
        {"--permit-file-read=", config.encPath},
    };
    for (const auto& p : readPaths) words.push_back({"--permit-file-read=", p});
    for (const auto& n : fontNames) words.push_back({"--permit-file-write=", n});
    words.push_back({"-sJOBS=", jobsPath});
    words.push_back({"-dENCODING=", "/" + config.encodingName});
    words.push_back({"-sENCFILE=", config.encPath});
    GsCommand cmd;
    for (const auto& [option, value] : words) {
        cmd.argv.push_back(option + value);
        if (!cmd.line.empty()) cmd.line += ' ';
        cmd.line += option;
        cmd.line += value.empty() ? "" : "\"" + value + "\"";
    }
    cmd.argv.push_back(config.psPath);
    cmd.line += " " + config.psPath;
    return cmd;
}

std::string jobList(const std::vector<GlyphRequest>& requests) {
    // Strings in hexadecimal: the job file is read as data, and no name or
    // path can end a string early.
    std::string list = "[\n";
    for (const GlyphRequest& r : requests) {
        std::string symbols = "[";
        for (int c = 0; c < 256; ++c)
            if (r.codes[static_cast<size_t>(c)]) symbols += " " + std::to_string(c);
        symbols += " ]";
        list += "<< /FONTFILE " + postScriptString(r.files.type1Path) + " /THEFONT /" + r.entry.fntDvi +
                " /SYMBOLS " + symbols + " /FONTOUT " + postScriptString(r.name);
        if (!r.files.encVectorPath.empty()) list += " /ENCVECFILE " + postScriptString(r.files.encVectorPath);
        if (!r.entry.slant.empty()) list += " /SLANT " + r.entry.slant;
        if (!r.entry.extend.empty()) list += " /EXTEND " + r.entry.extend;
        list += " >>\n";
    }
    return list + "]\n";
}

}  // namespace morvex
