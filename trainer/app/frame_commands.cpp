#include "frame_commands.h"

#include "app_options.h"
#include "doc_helpers.h"
#include "kavro_doc.h"
#include "menu_layout.h"
#include "toolbar_fit.h"
#include "ui_text.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>

namespace {

QKeySequence shortcutOf(int command)
{
    switch (command) {
    case Cmd::StartPractice: return QKeySequence(Qt::CTRL | Qt::Key_N);
    case Cmd::Open: return QKeySequence(Qt::CTRL | Qt::Key_O);
    case Cmd::Save: return QKeySequence(Qt::CTRL | Qt::Key_S);
    case Cmd::AdjustSensor: return QKeySequence(Qt::Key_F2);
    case Cmd::SwitchToMatch: return QKeySequence(Qt::Key_F3);
    case Cmd::ViewInfo: return QKeySequence(Qt::Key_F4);
    case Cmd::ViewTrace: return QKeySequence(Qt::Key_F5);
    case Cmd::ViewDistance: return QKeySequence(Qt::Key_F6);
    case Cmd::ViewCoordination: return QKeySequence(Qt::Key_F7);
    case Cmd::ViewShift: return QKeySequence(Qt::Key_F8);
    case Cmd::ViewSpeed: return QKeySequence(Qt::Key_F9);
    case Cmd::ViewIntervals: return QKeySequence(Qt::Key_F10);
    case Cmd::ViewProbability: return QKeySequence(Qt::Key_F11);
    case Cmd::FullScreen: return QKeySequence(Qt::Key_F12);
    case Cmd::ResetHardware: return QKeySequence(Qt::CTRL | Qt::Key_H);
    case Cmd::HelpContents: return QKeySequence(Qt::Key_F1);
    default: return QKeySequence();
    }
}

bool isCheckable(int command)
{
    switch (command) {
    case Cmd::Replay:
    case Cmd::ReplayAll:
    case Cmd::Prone:
    case Cmd::Standing:
    case Cmd::Kneeling:
    case Cmd::ExpertMode:
    case Cmd::Sightings:
    case Cmd::ShotList:
    case Cmd::Series:
    case Cmd::ToolBar:
    case Cmd::StatusBar:
    case Cmd::ShowHidden:
    case Cmd::AllTraces:
    case Cmd::ViewInfo:
    case Cmd::ViewTrace:
    case Cmd::ViewDistance:
    case Cmd::ViewCoordination:
    case Cmd::ViewShift:
    case Cmd::ViewSpeed:
    case Cmd::ViewIntervals:
    case Cmd::ViewProbability:
    case Cmd::FullScreen:
    case Cmd::SoundOff: return true;
    default: return languageOfCommand(command) != 0;
    }
}

} // namespace

QString FrameCommands::promptOf(const QString& s)
{
    return s.section(QLatin1Char('\n'), 0, 0);
}

QString FrameCommands::tipOf(const QString& s)
{
    const QString tip = s.section(QLatin1Char('\n'), 1, 1);
    return tip.isEmpty() ? promptOf(s) : tip;
}

FrameCommands::FrameCommands(QWidget* window, CKavroDoc& doc, std::function<FrameState()> state,
                             std::function<void(int)> run)
    : window_(window), doc_(doc), state_(std::move(state)), run_(std::move(run))
{
    for (int command : frameCommands()) {
        auto* a = new QAction(window_);
        a->setData(command);
        a->setCheckable(isCheckable(command));
        a->setShortcut(shortcutOf(command));
        a->setShortcutContext(Qt::WindowShortcut);
        connect(a, &QAction::triggered, this, [this, command] { run_(command); });
        window_->addAction(a); // shortcuts work with the menu bar hidden too
        actions_[command] = a;
    }
}

QAction* FrameCommands::action(int command) const
{
    auto it = actions_.find(command);
    return it == actions_.end() ? nullptr : it->second;
}

QAction* FrameCommands::addButton(QToolBar* bar, int command)
{
    auto* button = new QAction(bar);
    button->setData(command);
    button->setCheckable(isCheckable(command));
    connect(button, &QAction::triggered, this, [this, command] { run_(command); });
    bar->addAction(button);
    ToolBarTextFit::keep(bar);
    buttons_.emplace_back(button, command);
    return button;
}

void FrameCommands::buildMenus(QMenuBar* bar)
{
    bar->clear();
    const bool simple = !kavro::theAppOptions().AdvancedMode;
    for (const MenuLayout& sub : fullMainMenu()) {
        const std::vector<int> items = simple ? prunedForSimpleMode(sub.items) : sub.items;
        if (items.empty())
            continue;
        QMenu* menu = bar->addMenu(uiText(int(menuTextId(kMainMenu, uint16_t(sub.position)))));
        for (int id : items) {
            if (id == 0) {
                menu->addSeparator();
            } else if (id == Cmd::LanguagePlaceholder) {
                QMenu* languages = menu->addMenu(uiText(int(menuTextId(kMainMenu, uint16_t(id)))));
                connect(languages, &QMenu::aboutToShow, this, [this, languages] { fillLanguageMenu(languages); });
                fillLanguageMenu(languages);
            } else {
                menu->addAction(action(id));
            }
        }
        connect(menu, &QMenu::aboutToShow, this, &FrameCommands::updateAll);
    }
    if (shotMenu_)
        return;
    shotMenu_ = new QMenu(window_);
    for (int id : shotContextMenu()) {
        // Its captions are its own (menu 256), so the items are actions of their own too.
        auto* item = shotMenu_->addAction(uiText(int(menuTextId(kShotMenu, uint16_t(id)))));
        item->setData(id);
        connect(item, &QAction::triggered, this, [this, id] { run_(id); });
        // Replay is what a double click on a shot does: the menu shows it as its default.
        if (id == Cmd::Replay)
            shotMenu_->setDefaultAction(item);
    }
    connect(shotMenu_, &QMenu::aboutToShow, this, [this] {
        for (QAction* item : shotMenu_->actions()) {
            const int id = item->data().toInt();
            item->setText(shownCaption(id, uiText(int(menuTextId(kShotMenu, uint16_t(id))))));
            item->setEnabled(action(id)->isEnabled());
        }
    });
}

void FrameCommands::showShotMenu(const QPoint& globalPos)
{
    updateAll();
    shotMenu_->popup(globalPos);
}

void FrameCommands::fillLanguageMenu(QMenu* menu)
{
    menu->clear();
    bool first = true;
    for (const LanguageMenuItem& l : kLanguageMenu) {
        menu->addAction(action(l.command));
        if (first)
            menu->addSeparator();
        first = false;
    }
}

void FrameCommands::applyTexts(int command)
{
    QAction* a = action(command);
    const QString strings = uiText(command);
    QString caption = uiText(int(menuTextId(kMainMenu, uint16_t(command))));
    if (languageOfCommand(command) != 0) {
        for (const LanguageMenuItem& l : kLanguageMenu)
            if (l.command == command)
                caption = QString::fromUtf8(l.caption);
    }
    caption = shownCaption(command, caption);
    if (caption.isEmpty())
        caption = tipOf(strings);
    // The menu caption carries the shortcut after a tab; the action shows its own.
    a->setText(caption.section(QLatin1Char('\t'), 0, 0));
    a->setStatusTip(promptOf(strings));
    a->setToolTip(tipOf(strings));
    const QString buttonText = tipOf(strings).section(QStringLiteral(" ("), 0, 0);
    for (auto& [button, id] : buttons_) {
        if (id != command)
            continue;
        button->setText(buttonText);
        button->setToolTip(tipOf(strings));
        button->setStatusTip(promptOf(strings));
    }
}

QString FrameCommands::shownCaption(int command, const QString& caption)
{
    if (command != Cmd::HideRestoreShot)
        return caption;
    // Two captions: the second while the selected shot is hidden.
    ComPtr<IShot> shot;
    doc_.GetSelectedShot(&shot);
    const int part = isHidden(shot.get()) ? 1 : 0;
    return caption.section(QLatin1Char('\n'), part, part);
}

void FrameCommands::reloadTexts()
{
    for (const auto& [command, a] : actions_)
        applyTexts(command);
}

void FrameCommands::updateAll()
{
    apply(state_(), CommandInput::All);
}

void FrameCommands::inputsChanged(uint32_t inputs)
{
    if (inputs != CommandInput::None)
        apply(state_(), inputs);
}

void FrameCommands::hintArrived(int hint)
{
    const uint32_t inputs = hintInputs(hint);
    if (inputs == CommandInput::None)
        return;
    inputsChanged(inputs);
    const bool posted = unsettled_ != CommandInput::None;
    unsettled_ |= inputs;
    if (!posted)
        QMetaObject::invokeMethod(this, &FrameCommands::settle, Qt::QueuedConnection);
}

void FrameCommands::settle()
{
    const uint32_t inputs = unsettled_;
    unsettled_ = CommandInput::None;
    inputsChanged(inputs);
}

void FrameCommands::apply(const FrameState& s, uint32_t inputs)
{
    const bool all = inputs == CommandInput::All;
    for (const auto& [command, a] : actions_) {
        if (!all && (commandInputs(command) & inputs) == 0)
            continue;
        const CommandState c = commandState(command, s);
        a->setEnabled(c.enabled);
        if (a->isCheckable())
            a->setChecked(c.checked);
    }
    for (auto& [button, command] : buttons_) {
        if (!all && (commandInputs(command) & inputs) == 0)
            continue;
        QAction* a = action(command);
        button->setEnabled(a->isEnabled());
        if (button->isCheckable())
            button->setChecked(a->isChecked());
    }
    if (commandInputs(Cmd::HideRestoreShot) & inputs)
        applyTexts(Cmd::HideRestoreShot);
}

void FrameCommands::updateButtons(const FrameState& s)
{
    std::vector<QToolBar*> bars;
    for (auto& [button, command] : buttons_) {
        button->setVisible(toolbarButtonVisible(command, s));
        auto* bar = qobject_cast<QToolBar*>(button->parent());
        if (bar && std::find(bars.begin(), bars.end(), bar) == bars.end())
            bars.push_back(bar);
    }
    // A separator shows only between groups that still have a button.
    for (QToolBar* bar : bars) {
        QAction* pending = nullptr;
        bool buttonBefore = false;
        for (QAction* a : bar->actions()) {
            if (a->isSeparator()) {
                a->setVisible(false);
                if (buttonBefore)
                    pending = a;
                buttonBefore = false;
            } else if (a->isVisible()) {
                if (pending)
                    pending->setVisible(true);
                pending = nullptr;
                buttonBefore = true;
            }
        }
    }
}
