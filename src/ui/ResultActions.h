// SPDX-License-Identifier: GPL-3.0-or-later
// Every command on the results, as one table of actions shared by the menu bar, the list's
// context menu, the list's own keys and the key hints, so that a menu entry, a key and a
// hint cannot disagree. Each action is named by its command ("openSelectedFile", "copy", …);
// the keys the list answers besides the shortcut are in its "listKeys" property.
// The standard edit commands act on whatever has the focus by calling that widget's own
// operation (the field's text, the list's rows), never by sending it keys again.
#pragma once

#include <QKeySequence>
#include <QList>
#include <QObject>
#include <QString>

#include <functional>
#include <vector>

class QAction;
class QKeyEvent;
class QWidget;

namespace vesko {

class SearchSession;
class FileActionCenter;
class Settings;
class PreviewWindow;
class ResultTable;

class ResultActions : public QObject {
    Q_OBJECT

public:
    enum class Command {
        open,
        preview,
        reveal,
        copyPath,
        copyName,
        rename,
        trash,
        exportResults,
        undo,
        redo,
        cut,
        copy,
        paste,
        selectAll,
    };
    // Asks where to export to, proposing `proposed`; empty when cancelled.
    using SaveChooser = std::function<QString(QWidget* parent, const QString& proposed)>;

    // The actions' shortcuts work wherever the focus is inside `window`.
    ResultActions(SearchSession& session, FileActionCenter& fileActions, Settings& settings,
                  PreviewWindow& preview, ResultTable& table, QWidget& window);

    QAction* action(Command command) const { return actions_[static_cast<std::size_t>(command)]; }
    // The action the list runs for this key press, or none.
    QAction* forListKey(const QKeyEvent& event) const;
    static QList<QKeySequence> listKeys(const QAction* action);
    // The row actions in the context menu's order; null for a separator.
    std::vector<QAction*> rowMenu() const;
    void retranslate();
    void setSaveChooser(SaveChooser chooser) { chooseSave_ = std::move(chooser); }

signals:
    void pathCopied();

private:
    QAction* make(Command command, std::function<void()> run);
    void refresh();
    void edit(Command command);
    void editList(Command command);
    void copyPaths();
    void togglePreview();
    void rename();
    void exportResults();

    SearchSession& session_;
    FileActionCenter& fileActions_;
    Settings& settings_;
    PreviewWindow& preview_;
    ResultTable& table_;
    QWidget& window_;
    std::vector<QAction*> actions_;
    SaveChooser chooseSave_;
};

} // namespace vesko
