#include "ui/customize_dialog.h"

#include "ui/command_catalogue.h"
#include "ui/resource_ids.h"
#include "ui/toolbar_icons.h"
#include "ui/ui_strings.h"

#include <QAction>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

#include <algorithm>

namespace velanox::ui {

namespace {
QString plainText(const char* text) {
    QString s = QString::fromLatin1(text);
    s.remove(QLatin1Char('&'));
    return s;
}
} // namespace

CustomizeDialog::CustomizeDialog(const CommandCatalogue& catalogue, Getter get, Setter set,
                                 QWidget* parent)
    : QDialog(parent), m_catalogue(catalogue), m_get(std::move(get)), m_set(std::move(set)) {
    setObjectName(objectNameFor("dialog", ids::kCustomizeDialog));
    setWindowTitle(QStringLiteral("Customize"));

    m_toolbars = new QComboBox(this);
    m_toolbars->addItem(QStringLiteral("Standard"), ids::kStandardToolbar);
    m_toolbars->addItem(QStringLiteral("Crop"), ids::kCropToolbar);

    m_categories = new QListWidget(this);
    for (const MenuDefinition& menu : mainMenu())
        m_categories->addItem(plainText(menu.title));
    m_categories->addItem(QString::fromLatin1(text::kAllCommands));
    m_categories->addItem(QString::fromLatin1(text::kBuiltInMenus));
    m_commands = new QListWidget(this);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close | QDialogButtonBox::Reset, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(buttons->button(QDialogButtonBox::Reset), &QPushButton::clicked, this, [this] {
        const std::span<const int> defaults = defaultToolbarCommands(toolbarId());
        m_set(toolbarId(), std::vector<int>(defaults.begin(), defaults.end()));
        showCategory(m_categories->currentRow());
    });

    connect(m_categories, &QListWidget::currentRowChanged, this, &CustomizeDialog::showCategory);
    connect(m_toolbars, &QComboBox::currentIndexChanged, this,
            [this] { showCategory(m_categories->currentRow()); });
    connect(m_commands, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
        const int id = item->data(Qt::UserRole).toInt();
        if (id) commandToggled(id, item->checkState() == Qt::Checked);
    });

    auto* layout = new QGridLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Toolbar:"), this), 0, 0);
    layout->addWidget(m_toolbars, 0, 1);
    layout->addWidget(new QLabel(QStringLiteral("Categories:"), this), 1, 0);
    layout->addWidget(
        new QLabel(QStringLiteral("Commands (ticked ones are on the toolbar):"), this), 1, 1);
    layout->addWidget(m_categories, 2, 0);
    layout->addWidget(m_commands, 2, 1);
    layout->addWidget(buttons, 3, 0, 1, 2);
    resize(520, 360);
    m_categories->setCurrentRow(int(mainMenu().size())); // All Commands
}

int CustomizeDialog::toolbarId() const {
    return m_toolbars->currentData().toInt();
}

void CustomizeDialog::showCategory(int row) {
    QSignalBlocker blocker(m_commands);
    m_commands->clear();
    const int menuCount = int(mainMenu().size());
    if (row == menuCount + 1) {
        // The built-in menus themselves, which stay on the menu bar.
        for (const MenuDefinition& menu : mainMenu())
            m_commands->addItem(plainText(menu.title));
        return;
    }
    std::vector<int> commands;
    if (row >= 0 && row < menuCount) {
        commands = menuCommands(mainMenu()[std::size_t(row)]);
    } else {
        for (const CommandEntry& decl : commandEntries())
            if (!commandIcon(decl.id).isNull()) commands.push_back(decl.id);
    }
    const std::vector<int> onBar = m_get(toolbarId());
    for (int id : commands) {
        QAction* action = m_catalogue.action(id);
        if (!action || action->icon().isNull()) continue; // only commands with an image
        auto* item = new QListWidgetItem(action->icon(), plainText(commandEntry(id)->text));
        item->setData(Qt::UserRole, id);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(
            std::find(onBar.begin(), onBar.end(), id) != onBar.end() ? Qt::Checked : Qt::Unchecked);
        m_commands->addItem(item);
    }
}

void CustomizeDialog::commandToggled(int commandId, bool on) {
    std::vector<int> commands = m_get(toolbarId());
    commands.erase(std::remove(commands.begin(), commands.end(), commandId), commands.end());
    if (on) commands.push_back(commandId);
    m_set(toolbarId(), commands);
}

} // namespace velanox::ui
