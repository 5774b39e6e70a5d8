// The reporter every post used before there was any other: a message box on
// the posting thread and, for a configuration the user must correct, the
// dialog after it.
#include "post/post_report.h"

#include "plugin/lifecycle.h"

namespace {

class BoxReport final : public PostReporter {
public:
    void Report(const PostOutcome& outcome) override
    {
        if (!outcome.caption.empty())
            MessageBoxA(nullptr, outcome.text.c_str(), outcome.caption.c_str(), MB_OK);
        if (outcome.opensDialog)
            PluginConfig();
    }
};

BoxReport g_boxReport;

}  // namespace

PostReporter& BoxReporter()
{
    return g_boxReport;
}
