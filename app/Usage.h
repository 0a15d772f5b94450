// The usage text printed for a command line the program does not understand.
#pragma once

namespace quen {

void printUsage();

}  // namespace quen
