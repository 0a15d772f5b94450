// Gathers a `quen report` page from what `quen check --template` and `quen inspect`
// compute: the template's check, each data file's inspect report and decoded audio,
// and the recordings as players hear them. First what the page shows is listed, without
// reading any audio, so that the page's path can be judged against it; then each file
// shown is read and decoded once, however many greetings show it.
#pragma once

#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "quen/InputOperands.h"
#include "quen/check/TemplateCheck.h"
#include "quen/report/ReportAudio.h"
#include "quen/report/ReportModel.h"

namespace quen::tool {

class ReportGathering {
  public:
    // `mode` 1 or 2, or none for both.
    static ReportGathering ofTemplate(const std::string& templatePath,
                                      const std::string& wavDirectory,
                                      const std::string& resultDirectory, std::optional<int> mode);
    // One section per data file, without a template; each is read at `inputs.path()`
    // of its name.
    static ReportGathering ofFiles(const std::vector<std::string>& files,
                                   const InputOperands& inputs);

    ReportGathering(ReportGathering&&) noexcept;
    ~ReportGathering();

    // Every recording and data file the page shows that exists, by identity.
    std::set<FileKey> shownFiles() const;

    // Reads and decodes every file shown once, gives its audio to `audio`, and puts the
    // page together.
    ReportView build(AudioStore& audio);

  private:
    struct Plan;
    explicit ReportGathering(std::unique_ptr<Plan> plan);
    std::unique_ptr<Plan> plan_;
};

}  // namespace quen::tool
