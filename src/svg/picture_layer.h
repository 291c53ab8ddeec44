#pragma once
// The picture specials of the --paths pages (ps:, ps::, ", !, header=,
// PSfile=). The gathering pass builds the picture program's job from
// them: the headers of all pages, in order, and the specials of the
// selected pages with their colours. The drawing pass puts what the run
// reported for each special into its page, in DVI order, and sets the
// page's glyphs and rules under the transformation and clip it leaves.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "pictures/file_policy.h"
#include "pictures/job.h"
#include "pictures/report.h"
#include "pictures/special_text.h"
#include "svg/page_builder.h"
#include "svg/picture_markup.h"

namespace morvex {

// The prefixes of the specials the picture program runs.
inline constexpr const char* kPicturePrefixes[] = {"ps:", "ps::", "\"", "!", "header=", "PSfile=", "psfile="};

class PictureCollector final : public SpecialHandler, public PageConsumer {
public:
    PictureCollector(pictures::FileAccess access, const pictures::JobFrame& frame);

    // Reads the picture specials of the pages builder is given.
    void attach(PageBuilder& builder);
    void special(const SpecialEvent& special, bool selected) override;
    void page(PageModel& page) override;

    // Whether a selected page carries a special to run.
    bool any() const { return pagesWithPictures > 0; }
    // The job, with the chunk of each special of the selected pages in
    // the order they come (none for one that is not run).
    pictures::Job job(std::vector<std::optional<size_t>>& chunkOf) const;
    // The position in the file of each of the job's pages.
    const std::vector<uint64_t>& positions() const { return pagePositions; }
    // The specials that are not run, and why, for messages.
    const std::vector<std::string>& problems() const { return refused; }

private:
    struct Pending {
        pictures::PictureSpecial special;
        int32_t h = 0, v = 0;
        Rgb color;
        uint64_t number = 0;  // its place among the selected pages' specials
    };

    void header(const pictures::PictureSpecial& special);

    const pictures::FileAccess access;
    pictures::JobBuilder builder;
    PageBuilder* pages = nullptr;
    std::vector<Pending> pending;
    std::string literals;  // the "!" headers of all pages, in order
    uint64_t specials = 0;
    int pagesWithPictures = 0;
    std::vector<std::string> refused;
    std::vector<uint64_t> pagePositions;
};

class PictureDrawer final : public SpecialHandler {
public:
    // chunkOf: the collector's; ownDocuments: each page is a document of
    // its own, which holds all its definitions.
    PictureDrawer(const pictures::Job& job, const pictures::Report& report,
                  std::vector<std::optional<size_t>> chunkOf, PictureMarkup& markup, bool ownDocuments,
                  std::FILE* log);

    void attach(PageBuilder& builder);
    void special(const SpecialEvent& special, bool selected) override;

private:
    void marks(const pictures::ChunkReport& r);

    const pictures::Job& job;
    const pictures::Report& report;
    const std::vector<std::optional<size_t>> chunkOf;
    PictureMarkup& markup;
    const bool ownDocuments;
    std::FILE* const log;
    PageBuilder* pages = nullptr;
    uint64_t specials = 0;
    int page = -1;  // the job's page of the special drawn last
    std::optional<pictures::EndState> state;  // the glyphs' frame as the last special left it
};

// The first bytes of a special, printable, for a message.
std::string specialExcerpt(std::string_view text);

}  // namespace morvex
