// The toolbar Customize dialog: pick a toolbar, browse the commands by menu, "All
// Commands" or "Built-in Menus", and tick the ones the toolbar shows. Changes apply at once.
#pragma once

#include <QDialog>

#include <functional>
#include <vector>

class QComboBox;
class QListWidget;

namespace velanox::ui {

class CommandCatalogue;

class CustomizeDialog : public QDialog {
    Q_OBJECT
public:
    using Getter = std::function<std::vector<int>(int toolbarId)>;
    using Setter = std::function<void(int toolbarId, const std::vector<int>& commands)>;

    CustomizeDialog(const CommandCatalogue& catalogue, Getter get, Setter set,
                    QWidget* parent = nullptr);

private:
    int toolbarId() const;
    void showCategory(int row);
    void commandToggled(int commandId, bool on);

    const CommandCatalogue& m_catalogue;
    Getter m_get;
    Setter m_set;
    QComboBox* m_toolbars;
    QListWidget* m_categories;
    QListWidget* m_commands;
};

} // namespace velanox::ui
