// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/ResultActions.h"

#include "store/FileActionCenter.h"
#include "store/SearchSession.h"
#include "store/Settings.h"
#include "ui/PreviewWindow.h"
#include "ui/RenameDialog.h"
#include "ui/ResultModel.h"
#include "ui/ResultTable.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QStyle>

#include <numeric>

namespace vesko {
namespace {

// What Select All marks at most: as many rows as the list used to hold at all.
constexpr qint64 mostMarkedByAll = 20'000;

using Command = ResultActions::Command;

constexpr char exportFolderKey[] = "exportFolder";

enum class Needs { nothing, selection, hits };

struct CommandTraits {
    Command command;
    const char* name;
    Needs needs;
    const char* icon;
    QStyle::StandardPixmap fallback;
};

// The table itself; texts, keys and what each does are set where they are known.
constexpr CommandTraits commandTable[] = {
    {Command::open, "openSelectedFile", Needs::selection, "document-open",
     QStyle::SP_DialogOpenButton},
    {Command::preview, "toggleQuickLook", Needs::selection, "document-preview",
     QStyle::SP_FileDialogContentsView},
    {Command::reveal, "revealSelectedFile", Needs::selection, "system-file-manager",
     QStyle::SP_DirOpenIcon},
    {Command::copyPath, "copySelectedPath", Needs::selection, "edit-copy", QStyle::SP_FileIcon},
    {Command::copyName, "copySelectedName", Needs::selection, nullptr, {}},
    {Command::rename, "renameSelectedFile", Needs::selection, nullptr, {}},
    {Command::trash, "trashSelectedFile", Needs::selection, "user-trash", QStyle::SP_TrashIcon},
    {Command::exportResults, "exportResults", Needs::hits, nullptr, {}},
    {Command::undo, "undo", Needs::nothing, nullptr, {}},
    {Command::redo, "redo", Needs::nothing, nullptr, {}},
    {Command::cut, "cut", Needs::nothing, nullptr, {}},
    {Command::copy, "copy", Needs::nothing, nullptr, {}},
    {Command::paste, "paste", Needs::nothing, nullptr, {}},
    {Command::selectAll, "selectAll", Needs::nothing, nullptr, {}},
};

const CommandTraits& traitsOf(Command command) {
    return commandTable[static_cast<std::size_t>(command)];
}

QKeySequence keys(QKeyCombination key) {
    return QKeySequence(key);
}

// The widget's own operation of that name ("copy", "undo", …), when it has one.
bool callOwn(QWidget* widget, const char* operation) {
    if (auto* combo = qobject_cast<QComboBox*>(widget); combo && combo->lineEdit())
        widget = combo->lineEdit();
    const QByteArray signature = QByteArray(operation) + "()";
    if (widget->metaObject()->indexOfMethod(signature.constData()) < 0) return false;
    return QMetaObject::invokeMethod(widget, operation);
}

QString exportProposal(const std::string& folder) {
    QString dir = QString::fromStdString(folder);
    if (dir.isEmpty() || !QFileInfo(dir).isDir()) dir = QDir::homePath();
    return QDir(dir).filePath(QString::fromLatin1(FileActions::proposedExportName));
}

QString askForSave(QWidget* parent, const QString& proposed) {
    QFileDialog dialog(parent, ResultActions::tr("Export Results…"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDirectory(QFileInfo(proposed).absolutePath());
    dialog.selectFile(QFileInfo(proposed).fileName());
    // The dialog asks before replacing a file, so nothing is overwritten silently.
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().first();
}

} // namespace

ResultActions::ResultActions(SearchSession& session, FileActionCenter& fileActions,
                             Settings& settings, PreviewWindow& preview, ResultTable& table,
                             QWidget& window)
    : QObject(&window), session_(session), fileActions_(fileActions), settings_(settings),
      preview_(preview), table_(table), window_(window), actions_(std::size(commandTable)),
      chooseSave_(&askForSave) {
    FileActionCenter& s = fileActions_;
    make(Command::open, [&s] { s.openSelected(); })
        ->setProperty("listKeys", QVariant::fromValue(QList<QKeySequence>{keys(Qt::Key_Return),
                                                                          keys(Qt::Key_Enter)}));
    make(Command::preview, [this] {
        togglePreview();
    })->setProperty("listKeys", QVariant::fromValue(QList<QKeySequence>{keys(Qt::Key_Space)}));
    make(Command::reveal, [&s] { s.revealSelected(); })
        ->setProperty("listKeys", QVariant::fromValue(QList<QKeySequence>{
                                      keys(Qt::ControlModifier | Qt::Key_Return),
                                      keys(Qt::ControlModifier | Qt::Key_Enter)}));
    make(Command::copyPath, [this] {
        copyPaths();
    })->setProperty("listKeys", QVariant::fromValue(QKeySequence::keyBindings(QKeySequence::Copy)));
    make(Command::copyName, [&s] { s.copySelectedName(); });
    make(Command::rename, [this] { rename(); });
    make(Command::trash, [&s] {
        s.trashSelected();
    })->setProperty("listKeys", QVariant::fromValue(QList<QKeySequence>{keys(Qt::Key_Delete)}));
    make(Command::exportResults, [this] { exportResults(); });
    for (Command command : {Command::undo, Command::redo, Command::cut, Command::copy,
                            Command::paste, Command::selectAll})
        make(command, [this, command] { edit(command); });

    action(Command::open)->setShortcut(QKeySequence(QStringLiteral("Ctrl+O")));
    action(Command::preview)->setShortcut(QKeySequence(QStringLiteral("Ctrl+Y")));
    action(Command::reveal)->setShortcut(QKeySequence(QStringLiteral("Ctrl+Shift+R")));
    action(Command::copyPath)->setShortcut(QKeySequence(QStringLiteral("Ctrl+Alt+C")));
    action(Command::rename)->setShortcut(QKeySequence(Qt::Key_F2));
    action(Command::trash)->setShortcut(QKeySequence(QStringLiteral("Ctrl+Del")));
    action(Command::exportResults)->setShortcut(QKeySequence(QStringLiteral("Ctrl+E")));
    action(Command::undo)->setShortcuts(QKeySequence::Undo);
    action(Command::redo)->setShortcuts(QKeySequence::Redo);
    action(Command::cut)->setShortcuts(QKeySequence::Cut);
    action(Command::copy)->setShortcuts(QKeySequence::Copy);
    action(Command::paste)->setShortcuts(QKeySequence::Paste);
    action(Command::selectAll)->setShortcuts(QKeySequence::SelectAll);
    // A desktop's edit keys may include one of the commands' keys (Redo as Ctrl+Y beside
    // Preview); Qt would drop both as ambiguous, so the command keeps it.
    for (Command command : {Command::undo, Command::redo, Command::cut, Command::copy,
                            Command::paste, Command::selectAll}) {
        QList<QKeySequence> keys = action(command)->shortcuts();
        for (Command other : {Command::open, Command::preview, Command::reveal, Command::copyPath,
                              Command::rename, Command::trash, Command::exportResults})
            keys.removeAll(action(other)->shortcut());
        action(command)->setShortcuts(keys);
    }
    for (QAction* each : actions_)
        window_.addAction(each);

    for (auto signal : {&SearchSession::selectionChanged, &SearchSession::rowsChanged,
                        &SearchSession::queryChanged})
        connect(&session_, signal, this, &ResultActions::refresh);
    retranslate();
    refresh();
}

QAction* ResultActions::make(Command command, std::function<void()> run) {
    const CommandTraits& traits = traitsOf(command);
    auto* made = new QAction(this);
    made->setObjectName(QString::fromLatin1(traits.name));
    if (traits.icon)
        made->setIcon(QIcon::fromTheme(QLatin1String(traits.icon),
                                       QApplication::style()->standardIcon(traits.fallback)));
    connect(made, &QAction::triggered, this, [run = std::move(run)] { run(); });
    actions_[static_cast<std::size_t>(command)] = made;
    return made;
}

void ResultActions::retranslate() {
    const std::pair<Command, QString> titles[] = {
        {Command::open, tr("Open")},
        {Command::preview, tr("Preview")},
        {Command::reveal, tr("Show in File Manager")},
        {Command::copyPath, tr("Copy Path")},
        {Command::copyName, tr("Copy Name")},
        {Command::rename, tr("Rename…")},
        {Command::trash, tr("Move to Trash")},
        {Command::exportResults, tr("Export Results…")},
        {Command::undo, tr("Undo")},
        {Command::redo, tr("Redo")},
        {Command::cut, tr("Cut")},
        {Command::copy, tr("Copy")},
        {Command::paste, tr("Paste")},
        {Command::selectAll, tr("Select All")},
    };
    for (const auto& [command, title] : titles)
        action(command)->setText(title);
}

void ResultActions::refresh() {
    const bool selected = session_.selectedRow().has_value();
    const bool hits = session_.totalMatches() > 0 && session_.rowCount() > 0;
    for (const CommandTraits& traits : commandTable)
        action(traits.command)
            ->setEnabled(traits.needs == Needs::nothing ||
                         (traits.needs == Needs::selection ? selected : hits));
}

QList<QKeySequence> ResultActions::listKeys(const QAction* action) {
    return action->property("listKeys").value<QList<QKeySequence>>();
}

QAction* ResultActions::forListKey(const QKeyEvent& event) const {
    const QKeySequence pressed(
        QKeyCombination(event.modifiers() & ~Qt::KeypadModifier, Qt::Key(event.key())));
    for (QAction* each : actions_)
        if (listKeys(each).contains(pressed) || each->shortcuts().contains(pressed)) return each;
    return nullptr;
}

std::vector<QAction*> ResultActions::rowMenu() const {
    return {action(Command::open),
            action(Command::preview),
            action(Command::reveal),
            nullptr,
            action(Command::copyPath),
            action(Command::copyName),
            nullptr,
            action(Command::rename),
            action(Command::trash)};
}

// In the list the edit keys mean its rows: copy their paths, mark them all, undo the last
// file action. Cut, paste and redo have nothing to act on there.
void ResultActions::editList(Command command) {
    switch (command) {
    case Command::copy:
        copyPaths();
        break;
    case Command::selectAll: {
        // The marks are what Copy, Open and Move to Trash take, row by row: past the first
        // rows of a very long list they would copy or open more than anyone means to.
        std::vector<qint64> all(
            static_cast<std::size_t>(std::min(session_.rowCount(), mostMarkedByAll)));
        std::iota(all.begin(), all.end(), qint64{0});
        session_.setSelectedRows(std::move(all));
        break;
    }
    case Command::undo:
        fileActions_.undoLastAction();
        break;
    default:
        break;
    }
}

void ResultActions::edit(Command command) {
    QWidget* focus = QApplication::focusWidget();
    if (focus == &table_) return editList(command);
    if (focus && window_.isAncestorOf(focus) && callOwn(focus, traitsOf(command).name)) return;
    // Outside any text, Ctrl+Z still takes back the last file action.
    if (command == Command::undo) fileActions_.undoLastAction();
}

void ResultActions::copyPaths() {
    if (!session_.selectedRow()) return;
    fileActions_.copySelectedPath();
    emit pathCopied();
}

void ResultActions::togglePreview() {
    const auto row = session_.selectedRow();
    if (row) preview_.toggle(row->path());
}

void ResultActions::rename() {
    const auto row = session_.selectedRow();
    if (!row) return;
    auto* dialog = new RenameDialog(
        *row, [this, row = *row](const QString& typed) { return fileActions_.rename(row, typed); },
        window_.window());
    dialog->open();
}

void ResultActions::exportResults() {
    if (session_.totalMatches() == 0) return;
    const QString file =
        chooseSave_(window_.window(), exportProposal(settings_.text(exportFolderKey)));
    if (file.isEmpty()) return;
    settings_.setText(exportFolderKey, QFileInfo(file).absolutePath().toStdString());
    fileActions_.exportResults(QFile::encodeName(file).toStdString());
}

} // namespace vesko
