// Gathers a `quen report` page from what `quen check --template` and `quen inspect`
// compute: the template's check, each data file's inspect report and decoded audio,
// and the recordings as players hear them.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "quen/report/ReportModel.h"

namespace quen::tool {

// `mode` 1 or 2, or none for both.
ReportView templateReport(const std::string& templatePath, const std::string& wavDirectory,
                          const std::string& resultDirectory, std::optional<int> mode);

// One section per data file, without a template.
ReportView filesReport(const std::vector<std::string>& files);

}  // namespace quen::tool
