// The one catalogue of commands: id, menu text with access key, status-bar prompt and tooltip,
// accelerators. Menus, toolbars, the Customize dialog and the key handling all read it.
#pragma once

#include <QKeySequence>
#include <QList>
#include <QObject>
#include <QString>

#include <map>
#include <span>
#include <vector>

class QAction;
class QWidget;

namespace velanox::ui {

struct CommandEntry {
    int id;
    const char* text;   ///< menu text, '&' before the access key
    const char* prompt; ///< "status-bar prompt\ntooltip"
    bool checkable = false;
};

/// Every command, in catalogue order.
std::span<const CommandEntry> commandEntries();
/// The catalogue row of a command, or null.
const CommandEntry* commandEntry(int id);
/// The accelerators of a command (the first is shown in its menu item).
QList<QKeySequence> commandShortcuts(int id);
/// The status-bar prompt and the tooltip of a command: the two halves of its prompt string.
QString commandStatusTip(int id);
QString commandToolTip(int id);

/// One item of a menu: a command, a separator (id 0, no submenu) or a submenu of commands
/// (0 among them is a separator).
struct MenuItem {
    int commandId = 0;
    const char* submenu = nullptr;
    std::vector<int> submenuCommands = {};
};
struct MenuDefinition {
    const char* title;
    std::vector<MenuItem> items;
};
/// The menu bar, in order.
const std::vector<MenuDefinition>& mainMenu();
/// Every command id a menu holds, its submenus included, in order.
std::vector<int> menuCommands(const MenuDefinition& menu);

/// The commands of the "Standard" (128) and "Crop" (141) toolbars; 0 stands for a separator.
std::span<const int> defaultToolbarCommands(int toolbarId);

/// One QAction per catalogue command, owned by and added to the owner window so that every
/// accelerator works whether or not the command sits in a menu. Each action is named
/// "command_<id>" and carries its id as data.
class CommandCatalogue : public QObject {
    Q_OBJECT
public:
    explicit CommandCatalogue(QWidget* owner);

    QAction* action(int id) const;

signals:
    /// A command was chosen (menu, toolbar, accelerator).
    void triggered(int id);

private:
    std::map<int, QAction*> m_actions;
};

} // namespace velanox::ui
