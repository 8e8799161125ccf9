#include "start_up.h"

#include "com_list.h"
#include "image_load_report.h"

namespace quorvel {

bool FormLoad(CommandContext& context, const std::string& programDirectory) {
    if (!LoadImageWithReport(context, programDirectory + "/" + kDefaultImageName)) return false;
    context.defaultImage = true;
    FillComList(context.panel);
    context.panel.setBusyPointer(false);
    context.panel.checkComMenu(1);
    return true;
}

}  // namespace quorvel
