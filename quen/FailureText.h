// Plain words for the file layer's failure categories, for messages of `quen` that
// name a file it could not read or write.
#pragma once

#include <string>

#include "platform/FailureCategory.h"
#include "platform/Result.h"

namespace quen::tool {

std::string describeFailure(FailureCategory category);
// As above; where the category has no words of its own (a file too large for the
// process's limit, say), the system's words that came with the failure.
std::string describeFailure(const Failure& failure);

// Whether a reader's failure is trouble getting at the file (missing, not a regular
// file, unreadable, too large, no memory), not something wrong in what it holds.
bool isAccessFailure(const Failure& failure);

}  // namespace quen::tool
