#include "start_up.h"

#include "com_list.h"
#include "image_load_report.h"

namespace quorvel {

bool FormLoad(CommandContext& context, const std::string& programDirectory) {
    const std::optional<std::vector<std::string>> warnings =
        LoadImageWithReport(context, programDirectory + "/" + kDefaultImageName);
    if (!warnings) return false;
    FillComList(context.panel);
    context.panel.setBusyPointer(false);
    context.panel.checkComMenu(1);
    ShowLoadWarnings(context, *warnings);
    return true;
}

}  // namespace quorvel
