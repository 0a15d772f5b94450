// Writes a data file as its compressed stream comes: room for the preamble first, the
// packets as they are cut, then the preamble (total length, flash type, header length)
// and the header once the length is known. The file appears only at commit(), whole.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "codec/Codec.h"
#include "datafile/DataFileHeader.h"
#include "datafile/Packetiser.h"
#include "platform/AtomicFileWriter.h"
#include "platform/Result.h"

namespace quen {

class DataFileOutput {
  public:
    // The packets follow the frames of `codec`. A file that cannot be created is
    // reported by commit(), after whatever the conversion reports meanwhile.
    DataFileOutput(const std::u16string& outFile, Codec codec);
    DataFileOutput(DataFileOutput&&) noexcept;
    DataFileOutput& operator=(DataFileOutput&&) noexcept;
    ~DataFileOutput();

    // Packetises and writes the next compressed bytes.
    void add(ByteSpan compressed);
    // Writes the last packet, the preamble and the header.
    void finish(std::uint8_t flashType, const DataFileHeader& header);

    // Puts the file in place; fails with the category of what kept it from being
    // created or written (an earlier file of that name is then left as it was).
    Result<void> commit();

  private:
    struct File;

    // On the heap, so that the output can move while the packetiser's sink keeps
    // pointing at the file.
    std::unique_ptr<File> file_;
    std::unique_ptr<Packetiser> packets_;
};

}  // namespace quen
