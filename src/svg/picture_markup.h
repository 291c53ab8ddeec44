#pragma once
// What the picture program reports, as markup of the --paths page: fills
// and strokes as paths, clips as nested clipPath groups, shadings as
// gradients, images and masks as PNG data, tiling patterns as patterns.
// Only numbers and colours from the records reach the markup. Everything
// is in TeX points from the DVI origin, y down, the space of DrawnMarkup.
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "pictures/report.h"
#include "svg/picture_geometry.h"
#include "svg/page_model.h"

namespace morvex {

class PictureMarkup {
public:
    // report: the run's; width and height: the page box of the job in TeX
    // points (the DVI origin one inch in from its top left corner).
    PictureMarkup(const pictures::Report& report, double width, double height);

    // A new page; a page in a document of its own writes its definitions
    // anew.
    void beginPage(bool ownDocument);
    // The paints of a chunk, consecutive paints of one kind in one group.
    DrawnMarkup paints(const std::vector<pictures::Paint>& paints);
    // The frame of the glyphs and rules after a chunk that ended in end;
    // the definitions it refers to, not yet written, go to defs (a frame
    // is opened only when something is set in it).
    ItemFrame frame(const pictures::EndState& end, std::string& defs);

private:
    struct Element {
        std::string group;  // the group's opening tag, which like elements share
        std::string body;
        Extent ink;
    };
    struct Opening {
        std::string defs;  // the clip paths not yet written
        std::string open;
        uint32_t depth = 0;
        Extent bounds;  // where the clip lets ink be; empty: the whole page
        bool clipped = false;
    };

    Opening clipOpening(uint32_t clip);
    std::string defineClip(uint32_t id, const std::string& parent);
    // An id made from what it names, so that documents pasted into one
    // page share an id only where they define the same thing.
    static std::string idFor(char kind, const std::string& definition);
    Element element(const pictures::Paint& paint, std::string& defs);
    Element fill(const pictures::Fill& f) const;
    Element stroke(const pictures::Stroke& s) const;
    Element gradient(const pictures::Gradient& g, std::string& defs);
    Element image(const pictures::Image& i) const;
    Element mask(const pictures::ImageMask& m) const;
    Element pattern(const pictures::PatternPaint& p, std::string& defs);
    std::string defineCell(uint32_t id, pictures::Rgb8 tint);

    const pictures::Report& report;
    const double width, height;
    double shift = kPictureOrigin;  // from the records' space to the markup's
    std::map<uint32_t, std::string> clipIds;
    std::map<uint32_t, std::string> cellIds;
    int cellDepth = 0;
    std::set<std::string> defined;  // the ids of clips, gradients and patterns written
    std::string cellDefs;           // the pattern defineCell wrote last
};

}  // namespace morvex
