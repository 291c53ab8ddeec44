#pragma once
// What the tests of hostile runs share: a run of the built program in a
// directory of its own under the hostile-input limits, one-page documents,
// and a stand-in for Ghostscript that notes how it was started.
#include <sys/stat.h>

#include <cstdlib>
#include <functional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "hostile/bounded_run.h"
#include "support/bytes.h"
#include "support/morvex_run.h"
#include "support/process.h"

namespace morvex::testing {

inline const std::string& kConfigDir = kBuildConfigDir;
inline const std::string kDviDir = MORVEX_TEST_DVI_DIR;

inline std::string realDvi(const std::string& name) { return readFile(kDviDir + "/" + name + ".dvi"); }

inline bool wellFormed(const std::string& path, std::string* why = nullptr) {
    auto r = runProcess({"xmllint", "--noout", path}, "/");
    if (why != nullptr) *why = r.err.substr(0, 2000);
    return r.exitCode == 0;
}

// One run in a fresh directory holding in.dvi; the private temporary area
// is a directory of its own, so that what a run leaves there shows.
struct CheckedRun {
    TempDir dir;
    std::string tmp;
    BoundedResult r;

    explicit CheckedRun(const std::string& dvi) {
        tmp = dir.file("tmp");
        mkdir(tmp.c_str(), 0700);
        writeFile(dir.file("in.dvi"), dvi);
    }
    void go(std::vector<std::string> args, std::vector<std::string> env = {}, const Limits& limits = Limits(),
            const std::function<void(pid_t)>& whileRunning = nullptr, const std::string& configDir = kConfigDir) {
        args.push_back("in.dvi");
        const std::vector<std::string> argv = morvexArgs(args, configDir);
        env.push_back("MKTEXTFM=0");
        r = runBounded(argv, dir.path, tmp, env, limits, whileRunning);
    }
    std::set<std::string> files() const {
        std::set<std::string> f = filesIn(dir.path);
        f.erase("tmp");
        return f;
    }
    std::string file(const std::string& name) const { return readFile(dir.file(name)); }
    bool tmpEmpty() const { return filesIn(tmp).empty(); }
};

// A one-page document: page 1 holds cmds; fonts lists the postamble's fonts.
inline std::string onePage(const Bytes& cmds, const std::vector<std::pair<uint32_t, std::string>>& fonts = {},
                    bool withEop = true, const std::string& comment = "safety") {
    DviWriter w;
    w.pre(comment);
    w.bop(1);
    w.b.data.insert(w.b.data.end(), cmds.data.begin(), cmds.data.end());
    if (withEop) w.eop();
    w.post();
    for (const auto& [k, name] : fonts) w.fntdef(k, name);
    w.postpost();
    return w.str();
}

// cmr10 as font 0 on the page and in the postamble, with "Hi" set.
inline std::string hiPage() {
    return onePage(DviWriter().fntdef(0, "cmr10").b.u1(171).u1('H').u1('i'), {{0, "cmr10"}});
}

// A stand-in for Ghostscript on PATH that notes what it was given (its
// arguments, the GS_ variables of its environment, its open descriptors,
// its limit of address space in KiB) and then does what the script says:
// run the real one, or wait.
struct FakeGs {
    TempDir bin;
    std::string notes;
    std::string pidFile;
    FakeGs(const std::string& then) {
        notes = bin.file("notes");
        pidFile = bin.file("pid");
        const std::string script = "#!/bin/sh\n"
                                   "{ echo \"args: $*\"; env | grep '^GS_' ; ls -l /proc/$$/fd; "
                                   "echo \"address space: $(ulimit -v)\"; } >> '" +
                                   notes + "' 2>&1\n" + "echo $$ > '" + pidFile + "'\n" + then + "\n";
        writeFile(bin.file("gs"), script);
        chmod(bin.file("gs").c_str(), 0755);
    }
    std::string path() const { return "PATH=" + bin.path + ":" + std::getenv("PATH"); }
};

}  // namespace morvex::testing
