// Writes a data file: the preamble (total length, flash type, header length), the
// header and the packet stream, all at once or not at all.
#pragma once

#include <cstdint>
#include <string>

#include "datafile/DataFileHeader.h"
#include "datafile/Packetiser.h"
#include "platform/LogSink.h"

namespace quen {

// False after "Can't open file" naming `outFile` when the file cannot be created or
// written; an earlier file of that name is then left as it was.
bool writeDataFile(const std::u16string& outFile, std::uint8_t flashType,
                   const DataFileHeader& header, const PacketStream& packets, LogSink& log);

}  // namespace quen
