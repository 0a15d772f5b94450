// Standard output, written unbuffered so that console texts leave in the order the
// program writes them, whichever path writes them.
#pragma once

#include <string_view>

namespace quen {

void writeConsole(std::string_view bytes);

// True when standard error is a terminal someone watches, so that progress shown
// there is seen and not left in a log file.
bool standardErrorIsTerminal();

}  // namespace quen
