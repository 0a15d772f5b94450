// greetingStems: the four greeting kinds of the AA template and the file-name stems
// the batch job names their data files with.
#pragma once

#include <map>
#include <string>

namespace quen {

class GreetingStems {
  public:
    // Exactly the four kinds "morning", "afternoon", "evening" and "menu".
    GreetingStems();

    // The stem of a kind, matched exactly (code unit by code unit, case-sensitive).
    // Any other id yields an empty stem and is remembered with it.
    const std::u16string& stemFor(const std::u16string& id);

  private:
    // Ordered by unsigned code units, a prefix before its extensions.
    std::map<std::u16string, std::u16string> stems_;
};

}  // namespace quen
