// SPDX-License-Identifier: GPL-3.0-or-later
// A non-modal preview of the selected result: images, the start of text files, or the
// item's icon, kind and size. While shown it follows the store's selection, and the arrow
// keys move that selection, so the user can step through results without leaving it.
#pragma once

#include <QWidget>

#include <atomic>
#include <memory>
#include <optional>
#include <string>

class QLabel;
class QPlainTextEdit;
class QStackedWidget;

namespace vesko {

class SearchSession;
class StoreTasks;
class PreviewImage;
struct PreviewContent;

class PreviewWindow : public QWidget {
    Q_OBJECT

public:
    explicit PreviewWindow(SearchSession& session, StoreTasks& tasks, QWidget* parent = nullptr);

    // Shows `path` when hidden, hides when shown; nothing without a path.
    void toggle(const std::optional<std::string>& path);
    // While shown, shows `path` instead of the current item; nothing while hidden.
    void follow(const std::optional<std::string>& path);
    bool isShown() const { return isVisible(); }
    // The stored bytes of the path shown or being read; empty while hidden.
    const std::string& path() const { return path_; }

signals:
    // The content of `path` is on screen.
    void contentShown();

protected:
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    bool handleKey(const QKeyEvent& key);
    void followSelection();
    void retranslate();
    void load(const std::string& path);
    void present(const PreviewContent& content);
    void presentFacts(const PreviewContent& content);
    QWidget* buildFactsPage();

    SearchSession& session_;
    StoreTasks& tasks_;
    std::string path_;
    QStackedWidget* pages_;
    PreviewImage* imageView_;
    QPlainTextEdit* textView_;
    QLabel* truncatedNote_;
    QWidget* factsPage_;
    QLabel* iconLabel_;
    QLabel* nameLabel_;
    QLabel* kindLabel_;
    QLabel* sizeLabel_;
    // Loads for an item the selection has left are skipped or their result dropped; shared
    // with the reads, which may outlive the window.
    std::shared_ptr<std::atomic<quint64>> generation_ = std::make_shared<std::atomic<quint64>>(0);
    // Reads that finish after the window is gone find it expired.
    std::shared_ptr<const bool> alive_ = std::make_shared<const bool>(true);
};

} // namespace vesko
