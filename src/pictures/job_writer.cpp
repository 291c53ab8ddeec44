#include "pictures/job_writer.h"

#include <cinttypes>
#include <cstdio>

#include "base/file_handle.h"

namespace morvex::pictures {

namespace {

std::string hex(const std::string& bytes) {
    static const char kDigits[] = "0123456789abcdef";
    std::string out = "<";
    for (unsigned char c : bytes) {
        out += kDigits[c >> 4];
        out += kDigits[c & 15];
    }
    return out + ">";
}

// Every number of the job through one format.
std::string number(double x) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.6f", x);
    return buf;
}

// A DVI position in device units: the same single-precision product the
// glyphs' positions are made of.
std::string position(int32_t h, int32_t v, float ptPerDvi) {
    const double scale = kResolution / 72.27;
    return number(static_cast<float>(h) * ptPerDvi * scale) + " " +
           number(static_cast<float>(v) * ptPerDvi * scale);
}

std::string withCode(const std::string& args, const std::string& command, const std::string& code) {
    return args + " " + command + "\n" + code;
}

const char* specialCommand(SpecialKind kind) {
    switch (kind) {
    case SpecialKind::PsBegin:
        return "psbegin";
    case SpecialKind::PsRaw:
        return "psraw";
    case SpecialKind::Quote:
        return "quote";
    default:
        return "ps";
    }
}

std::string chunkText(const Job& job, const Chunk& c, size_t index) {
    const std::string id = std::to_string(index);
    const std::string len = std::to_string(c.code.size());
    switch (c.kind) {
    case ChunkKind::HeaderFile:
        return hex(c.path) + " " + id + " header\n";
    case ChunkKind::HeaderCode:
        return withCode(len + " " + id, "userheader", c.code);
    case ChunkKind::Literal:
        return withCode(len + " " + id, "literal", c.code);
    case ChunkKind::Start:
        return id + " start\n";
    case ChunkKind::PageBegin:
        return std::to_string(c.count0) + " " + std::to_string(c.page) + " " + id + " page\n";
    case ChunkKind::Special:
        if (c.special == SpecialKind::PsRaw) return withCode(len + " " + id, "psraw", c.code);
        return withCode(len + " " + id + " " + position(c.h, c.v, job.frame.ptPerDvi), specialCommand(c.special),
                        c.code);
    case ChunkKind::Figure:
        return withCode(hex(c.path) + " " + std::to_string(c.section.offset) + " " + std::to_string(c.section.length) +
                            " " + len + " " + id + " " + position(c.h, c.v, job.frame.ptPerDvi),
                        "psfile", c.code);
    case ChunkKind::Color:
        return number(c.rgb[0]) + " " + number(c.rgb[1]) + " " + number(c.rgb[2]) + " " + id + " color\n";
    case ChunkKind::PageEnd:
        return id + " endpage\n";
    }
    return {};
}

}  // namespace

std::string writeJob(const Job& job, const std::string& nonce, const std::vector<bool>& skip) {
    std::string out = "%!morvex-pictures-job\n";
    out += "(" + nonce + ") " + number(kResolution) + " " + number(job.frame.widthBp) + " " +
           number(job.frame.heightBp) + " " + std::to_string(job.frame.mag) + " job\n";
    for (size_t i = 0; i < job.chunks.size(); ++i) {
        if (i < skip.size() && skip[i]) continue;
        out += chunkText(job, job.chunks[i], i);
    }
    return out + "end\n";
}

std::string makeNonce() {
    FileHandle random = openFile("/dev/urandom", "rb");
    unsigned char bytes[8];
    if (!random || std::fread(bytes, 1, sizeof bytes, random.get()) != sizeof bytes) return {};
    std::string nonce;
    char buf[3];
    for (unsigned char b : bytes) {
        std::snprintf(buf, sizeof buf, "%02x", b);
        nonce += buf;
    }
    return nonce;
}

}  // namespace morvex::pictures
