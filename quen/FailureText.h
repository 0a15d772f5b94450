// Plain words for the file layer's failure categories, for messages of `quen` that
// name a file it could not read or write.
#pragma once

#include <string>

#include "platform/FailureCategory.h"

namespace quen::tool {

std::string describeFailure(FailureCategory category);

}  // namespace quen::tool
