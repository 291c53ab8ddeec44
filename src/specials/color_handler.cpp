#include "specials/color_handler.h"

#include "base/printable.h"

namespace morvex {

void ColorHandler::special(const SpecialEvent& special, bool) {
    if (!special.complete()) return;
    const ColorSpecial s = parseColorSpecial(special.text);
    switch (s.command) {
        case ColorCommand::NotColor: return;
        case ColorCommand::Pop:
            if (!stack.pop()) std::fprintf(log, "\n%scolor pop on an empty color stack ignored", tracePrefix);
            return;
        case ColorCommand::Push:
            // A colour that cannot be read is pushed as the colour in
            // force, so that its pop still matches.
            stack.push(s.color.value_or(stack.current()));
            break;
        case ColorCommand::Set:
            if (s.color) stack.set(*s.color);
            break;
    }
    if (!s.color)
        std::fprintf(log, "\n%sunreadable color, the color in force kept: %s", tracePrefix,
                     printable(special.text).c_str());
}

}  // namespace morvex
