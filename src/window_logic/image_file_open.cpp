#include "image_file_open.h"

#include "com_list.h"
#include "image_load_report.h"
#include "write_guard.h"

namespace quorvel {

uint8_t ImageFileOpen::OpenImageFile() {
    const std::string path = chooser_.chooseImageFile();
    if (path.empty()) return 0;
    const std::optional<std::vector<std::string>> warnings = LoadImageWithReport(context_, path);
    if (!warnings) return 0;
    context_.panel.showImageName(context_.imageFileName());
    // After a failed start-up the port list was never filled; without it no exchange could
    // ever open a port, so a good load fills it the way start-up would have (port 1, and the
    // window's COM menu follows the list).
    if (context_.panel.comListEmpty()) FillComList(context_.panel);
    context_.panel.setBusyPointer(false);
    ShowLoadWarnings(context_, *warnings);
    // The file replaced the image even so: say now, not only when a write is refused.
    if (!HasDataToWrite(context_.image, WriteWalk::Blocks)) WarnNothingToWrite(context_);
    return 1;
}

void ImageFileOpen::cmdTavik_Click() {
    context_.panel.setEnabled(ControlId::cmdTavik, false);
    {
        ExchangeLock lock(context_);
        if (OpenImageFile() == 1 && !context_.closing()) rewrite_.cmdMacro_Click(2);
        context_.panel.setEnabled(ControlId::cmdTavik, true);
    }
}

}  // namespace quorvel
