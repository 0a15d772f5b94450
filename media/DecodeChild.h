// The jailed decoder: a hidden mode of the program that decodes one recording for its
// parent (MediaDecoder). It opens the file, enters the jail, and only then lets
// libavformat and libavcodec read a byte; what they make of it goes to standard output
// as decode records.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "platform/jail/Jail.h"

namespace quen {

// What a program that decodes recordings runs first: the jailed decoder's mode, when
// its first argument names it.
bool isDecodeChild(int argc, char** argv);
// The mode's work; ends the process. It ends with _exit: exit handlers (a sanitizer's
// leak check among them) would make calls the jail refuses, and every record is
// written already.
[[noreturn]] void runDecodeChild(int argc, char** argv);

// The arguments after the program's name that start a jailed decoder on `path`:
// probing only when `maxSamples` is 0; `channel` as decodeInput takes it.
std::vector<std::string> decodeChildArguments(const std::string& path, std::size_t maxSamples,
                                              int channel, const JailLimits& limits);

}  // namespace quen
