#include "ui/panes/secondary_panes.h"

#include "ui/panes/color_correction_pane.h"
#include "ui/panes/color_match_pane.h"
#include "ui/panes/file_properties_pane.h"
#include "ui/resource_ids.h"

namespace velanox::ui {

PaneContent* makeSecondaryPane(int paneId, QWidget* parent, const SecondaryPaneContext& context) {
    switch (paneId) {
    case ids::kPaneIdFileProperties: {
        auto* pane = new FilePropertiesPane(parent);
        pane->setDetailRequests(context.detailRequests);
        pane->setSaveFolder(context.useFixedSaveFolder, context.fixedSaveFolder);
        return pane;
    }
    case ids::kPaneIdColorCorrection: {
        auto* pane = new ColorCorrectionPane(parent);
        pane->setDetailRequests(context.detailRequests);
        return pane;
    }
    case ids::kPaneIdColorMatch: {
        auto* pane = new ColorMatchPane(parent);
        pane->setDetailRequests(context.detailRequests);
        pane->setSettings(context.settings);
        if (!context.programFolder.isEmpty() || !context.userFolder.isEmpty())
            pane->setProfileFolders(context.programFolder, context.userFolder);
        if (context.colorMatch) pane->setColorMatchState(context.colorMatch);
        return pane;
    }
    default:
        return nullptr;
    }
}

} // namespace velanox::ui
