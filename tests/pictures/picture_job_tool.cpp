// For bench/pictures.sh: the job of a DVI file's pictures, as the tests
// build it, and the Ghostscript command that runs it.
//   picture_job_tool DVI JOB PRIVATE_TMP   writes the job to JOB, and the job
//   of its headers alone (up to its first page) to JOB.load, and prints the
//   command, one word a line (env's changes first)
#include <cstdio>

#include "pictures/latex_pages.h"

int main(int argc, char** argv) {
    namespace pictures = morvex::pictures;
    namespace testing = morvex::testing;
    if (argc != 4) {
        std::fprintf(stderr, "usage: picture_job_tool DVI JOB PRIVATE_TMP\n");
        return 2;
    }
    testing::DviSpecials dvi = testing::readDviSpecials(argv[1]);
    if (!dvi.error.empty()) {
        std::fprintf(stderr, "%s", dvi.error.c_str());
        return 1;
    }
    std::vector<std::string> problems;
    pictures::Job job = testing::jobFromDvi(argv[1], dvi, problems);
    for (const std::string& p : problems) std::fprintf(stderr, "%s\n", p.c_str());
    const std::string nonce = pictures::makeNonce();
    std::vector<bool> pages(job.chunks.size(), false);
    for (size_t i = 0; i < job.chunks.size(); ++i) pages[i] = job.chunks[i].page >= 0 || job.chunks[i].kind == pictures::ChunkKind::Start;
    if (!morvex::writeWholeFile(argv[2], pictures::writeJob(job, nonce)) ||
        !morvex::writeWholeFile(std::string(argv[2]) + ".load", pictures::writeJob(job, nonce, pages)))
        return 1;
    pictures::PictureCommand cmd = pictures::pictureCommand("gs", testing::pictureProgram(), job.files(), argv[3]);
    if (!cmd.ok()) {
        std::fprintf(stderr, "%s\n", cmd.refusal.c_str());
        return 1;
    }
    std::printf("env\n");
    for (const std::string& name : cmd.unsetEnvironment) std::printf("-u\n%s\n", name.c_str());
    for (const std::string& set : cmd.setEnvironment) std::printf("%s\n", set.c_str());
    for (const std::string& word : cmd.argv) std::printf("%s\n", word.c_str());
    return 0;
}
