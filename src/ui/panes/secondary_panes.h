// The File Properties, Color Correction and Color Match panes for the main frame's pane factory.
#pragma once

#include "ui/panes/pane_links.h"

#include <QString>

class QWidget;

namespace velanox::color {
class ColorMatchState;
}
namespace velanox::document {
class Settings;
}

namespace velanox::ui {

class PaneContent;

/// What the three panes are given when they are made; everything may be left empty.
struct SecondaryPaneContext {
    PaneLinks links;
    velanox::color::ColorMatchState* colorMatch = nullptr; ///< the application's; not owned
    velanox::document::Settings* settings = nullptr;       ///< for "MatchPath"; not owned
    QString programFolder; ///< where profiles are kept; empty: the executable's folder
    QString userFolder;    ///< profiles when programFolder is not writable; empty: app data
    int useFixedSaveFolder = 0;
    QString fixedSaveFolder;
};

/// The pane for kPaneIdFileProperties, kPaneIdColorCorrection or kPaneIdColorMatch, set up from
/// the context; null for any other id.
PaneContent* makeSecondaryPane(int paneId, QWidget* parent,
                               const SecondaryPaneContext& context = {});

} // namespace velanox::ui
