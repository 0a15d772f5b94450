// The one place where a template error is caught: around the whole batch job.
#include "batch/TemplateError.h"

#include "app/ErrorLog.h"

namespace quen {

bool reportingTemplateErrors(const std::function<bool()>& job) {
    try {
        return job();
    } catch (const TemplateError& error) {
        ErrorLog::instance().write(error.description());
        return false;
    }
}

}  // namespace quen
