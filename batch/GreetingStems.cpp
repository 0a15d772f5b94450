// The greeting kinds and their stems; lookups of unknown ids add them with no stem.
#include "batch/GreetingStems.h"

namespace quen {

GreetingStems::GreetingStems()
    : stems_{{u"morning", u"AM_greeting"},
             {u"afternoon", u"PM_greeting"},
             {u"evening", u"EV_greeting"},
             {u"menu", u"MN_greeting"}} {}

const std::u16string& GreetingStems::stemFor(const std::u16string& id) {
    return stems_[id];
}

}  // namespace quen
