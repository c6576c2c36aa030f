// SPDX-License-Identifier: GPL-3.0-or-later
// A titled part of the sidebar that folds away to a one-line summary. Its open state is the
// user's and survives restarts, under a key of its own in the settings file.
#pragma once

#include <QWidget>

#include <string>

class QLabel;
class QToolButton;
class QVBoxLayout;

namespace vesko {

class Settings;

class CollapsibleSection : public QWidget {
    Q_OBJECT

public:
    // Reads the open state from `key` (closed when missing); `settings` must outlive this.
    CollapsibleSection(Settings& settings, std::string key, QWidget* parent = nullptr);

    QVBoxLayout* body() const { return bodyLayout_; }
    bool isOpen() const;
    void setOpen(bool open);
    void setTitle(const QString& title);
    // Shown beside a closed section's title; empty shows nothing.
    void setSummary(const QString& summary);

private:
    void showState();

    Settings& settings_;
    std::string key_;
    QToolButton* header_;
    QLabel* summary_;
    QWidget* body_;
    QVBoxLayout* bodyLayout_;
    QString summaryText_;
    bool open_ = false;
};

} // namespace vesko
