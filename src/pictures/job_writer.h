#pragma once
// The bytes the picture program reads on standard input: its commands, one
// line each, arguments first and the command's name last, some followed by
// exactly the bytes of their code.
//
//   %!morvex-pictures-job
//   (NONCE) RES WIDTH HEIGHT MAG job
//   <PATH> CHUNK header                      a prologue or header file
//   LEN CHUNK userheader\n BYTES             pre= and post= code of a header
//   LEN CHUNK literal\n BYTES                a "!" special
//   CHUNK start                              dvips's @start
//   COUNT0 SEQUENCE CHUNK page               bop
//   LEN CHUNK X Y ps\n BYTES                 "ps:" (positioned before and after)
//   LEN CHUNK X Y psbegin\n BYTES            "ps::[begin]" (positioned before)
//   LEN CHUNK psraw\n BYTES                  "ps::", "ps::[end]", "ps::[nobreak]"
//   LEN CHUNK X Y quote\n BYTES              "\"" (@beginspecial ... @endspecial)
//   <PATH> OFFSET LENGTH LEN CHUNK X Y psfile\n BYTES
//                                            "PSfile=": BYTES are its parameters
//                                            ("0 @llx ... 566 @rwi")
//   R G B CHUNK color                        a colour special's colour (TeXcolorrgb)
//   CHUNK endpage                            eop
//   end
//
// NONCE is hexadecimal; every record of the run begins with it. RES is
// dvips's Resolution (72.27: one device unit a TeX point); WIDTH and HEIGHT
// the page box in big points; MAG the DVI magnification. PATH is
// hexadecimal text; X Y are the DVI position in dvips's device units from
// the DVI origin (h and v times ptPerDvi). CHUNK is the chunk's index in
// the job, also for chunks left out. LEN counts the bytes after the line's
// newline; a special's bytes are its text, which no special can escape.
#include <string>
#include <vector>

#include "pictures/job.h"

namespace morvex::pictures {

// dvips's Resolution and VResolution in the job: TeX points, so that
// positions keep their fractions.
inline constexpr double kResolution = 72.27;

// The job's bytes; the chunks whose skip entry is true are left out (a
// rerun without the chunk that never ended), their indices kept.
std::string writeJob(const Job& job, const std::string& nonce, const std::vector<bool>& skip = {});

// Sixteen hexadecimal digits from the system's random source, for a run's
// nonce; empty when there is none to read.
std::string makeNonce();

}  // namespace morvex::pictures
