// Standard output, written unbuffered so that console texts leave in the order the
// program writes them, whichever path writes them.
#pragma once

#include <string_view>

namespace quen {

void writeConsole(std::string_view bytes);

}  // namespace quen
