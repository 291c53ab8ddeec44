#pragma once
// From the specials of a DVI file to a job: the prologues dvips always
// loads, the headers and literal headers of all pages, and each page's
// specials with their files resolved by the file policy. Colour specials
// stay with the caller, which keeps the colour stack and hands each colour
// it sets to JobBuilder::color.
#include <cstdint>
#include <string>
#include <vector>

#include "pictures/file_policy.h"
#include "pictures/job.h"
#include "pictures/special_text.h"

namespace morvex::pictures {

// The prologues of a job, as dvips loads them for a page with specials.
inline constexpr const char* kDvipsPrologues[] = {"tex.pro", "texps.pro", "special.pro", "color.pro"};

// Adds the prologues the installation has; returns the names it lacks.
std::vector<std::string> addPrologues(JobBuilder& builder);

// A header= or "!" special (met on any page, run before the pages). Empty
// when added, else why it is not (for a message).
std::string addHeaderSpecial(JobBuilder& builder, const PictureSpecial& special, const FileAccess& access,
                             uint64_t tag = 0);

// A ps:, ps::, " or PSfile special of the page being built, at its DVI
// position. Empty when added, else why it is not.
std::string addPageSpecial(JobBuilder& builder, const PictureSpecial& special, int32_t h, int32_t v,
                           const FileAccess& access, uint64_t tag = 0);

}  // namespace morvex::pictures
