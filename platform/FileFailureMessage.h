// The message for a file of a conversion that could not be opened, read or written,
// with the file layer's failure category.
#pragma once

#include <string_view>

#include "platform/FailureCategory.h"
#include "platform/LogSink.h"

namespace quen {

void logFileFailure(std::u16string_view path, FailureCategory category, LogSink& log);

}  // namespace quen
