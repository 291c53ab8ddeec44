#pragma once
// Small writers for the byte-stream fixtures of the tests (DVI, TFM, map
// files), so every case shows its bytes.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <string>
#include <vector>

#include "base/file_handle.h"

namespace morvex::testing {

struct Bytes {
    std::vector<uint8_t> data;

    Bytes& u1(uint32_t v) {
        data.push_back(static_cast<uint8_t>(v));
        return *this;
    }
    Bytes& u2(uint32_t v) { return u1(v >> 8).u1(v); }
    Bytes& u3(uint32_t v) { return u1(v >> 16).u2(v); }
    Bytes& u4(uint32_t v) { return u2(v >> 16).u2(v); }
    Bytes& raw(std::initializer_list<uint8_t> bytes) {
        data.insert(data.end(), bytes);
        return *this;
    }
    Bytes& text(const std::string& s) {
        data.insert(data.end(), s.begin(), s.end());
        return *this;
    }
    Bytes& repeat(uint8_t b, size_t n) {
        data.insert(data.end(), n, b);
        return *this;
    }
    size_t size() const { return data.size(); }
    std::string str() const { return std::string(data.begin(), data.end()); }
};

// A DVI file builder: preamble, pages (with their back-pointers), postamble
// and the trailing 223 bytes, written in file order.
struct DviWriter {
    Bytes b;
    uint32_t lastBop = 0xFFFFFFFFu;
    uint32_t postOffset = 0;

    DviWriter& pre(const std::string& comment, uint32_t num = 25400000, uint32_t den = 473628672,
                   uint32_t mag = 1000) {
        b.u1(247).u1(2).u4(num).u4(den).u4(mag).u1(static_cast<uint32_t>(comment.size())).text(comment);
        return *this;
    }
    // bop with c0 = count0, the other counters 0, and the chain pointer.
    DviWriter& bop(int32_t count0) {
        uint32_t here = static_cast<uint32_t>(b.size());
        b.u1(139).u4(static_cast<uint32_t>(count0));
        for (int i = 0; i < 9; ++i) b.u4(0);
        b.u4(lastBop);
        lastBop = here;
        return *this;
    }
    DviWriter& eop() {
        b.u1(140);
        return *this;
    }
    DviWriter& fntdef(uint32_t k, const std::string& name, uint32_t s = 655360, uint32_t d = 655360,
                      uint32_t checksum = 0, const std::string& area = "") {
        b.u1(243).u1(k).u4(checksum).u4(s).u4(d).u1(static_cast<uint32_t>(area.size()))
            .u1(static_cast<uint32_t>(name.size())).text(area).text(name);
        return *this;
    }
    DviWriter& post(uint32_t l = 39321600, uint32_t u = 26214400, uint32_t s = 2, uint32_t t = 1,
                    uint32_t num = 25400000, uint32_t den = 473628672, uint32_t mag = 1000) {
        postOffset = static_cast<uint32_t>(b.size());
        b.u1(248).u4(lastBop).u4(num).u4(den).u4(mag).u4(l).u4(u).u2(s).u2(t);
        return *this;
    }
    DviWriter& postpost(uint32_t padding = 4) {
        b.u1(249).u4(postOffset).u1(2).repeat(223, padding);
        return *this;
    }
    std::string str() const { return b.str(); }
};

// Writes bytes to a file; returns false when it cannot.
inline bool writeFile(const std::string& path, const std::string& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

inline bool endsWith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// How often part stands in s, not overlapping.
inline size_t count(const std::string& s, const std::string& part) {
    size_t n = 0;
    for (size_t p = s.find(part); p != std::string::npos; p = s.find(part, p + part.size())) ++n;
    return n;
}

inline std::string readFile(const std::string& path) {
    std::string out;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) return out;
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
    std::fclose(f);
    return out;
}

// An in-memory stream over a copy of the bytes (fmemopen keeps a pointer, so
// the holder keeps the bytes alive).
struct MemStream {
    std::string bytes;
    std::FILE* f = nullptr;
    explicit MemStream(std::string b) : bytes(std::move(b)) {
        f = bytes.empty() ? std::fopen("/dev/null", "rb") : fmemopen(bytes.data(), bytes.size(), "rb");
    }
    MemStream(const MemStream&) = delete;
    MemStream& operator=(const MemStream&) = delete;
    ~MemStream() {
        if (f != nullptr) std::fclose(f);
    }
};

// A write stream whose contents can be read back as a string.
struct OutCapture {
    char* buf = nullptr;
    size_t len = 0;
    std::FILE* f = nullptr;
    OutCapture() { f = open_memstream(&buf, &len); }
    OutCapture(const OutCapture&) = delete;
    OutCapture& operator=(const OutCapture&) = delete;
    ~OutCapture() {
        if (f != nullptr) std::fclose(f);
        std::free(buf);
    }
    std::string str() {
        std::fflush(f);
        return std::string(buf, len);
    }
};

// A write stream handed over to an owner (a writer that closes it); its
// contents can be read once the owner has closed or flushed it.
struct HandedCapture {
    char* buf = nullptr;
    size_t len = 0;
    std::FILE* f = nullptr;  // owned by whoever took handle()
    HandedCapture() = default;
    HandedCapture(const HandedCapture&) = delete;
    HandedCapture& operator=(const HandedCapture&) = delete;
    ~HandedCapture() { std::free(buf); }
    FileHandle handle() {
        f = open_memstream(&buf, &len);
        return FileHandle(f);
    }
    // Only while the owner still holds the stream open.
    void flush() { std::fflush(f); }
    std::string str() const { return buf == nullptr ? std::string() : std::string(buf, len); }
};

}  // namespace morvex::testing
