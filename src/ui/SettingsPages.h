// SPDX-License-Identifier: GPL-3.0-or-later
// The pages of the settings window. Each control reads its preference when the page is
// shown or the preference changes elsewhere, and writes it at once when the user changes it.
#pragma once

#include "store/LoginItem.h"
#include "ui/TextBinder.h"

#include <QWidget>

#include <functional>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QVBoxLayout;

namespace vesko {

class HotKeyRecorder;
class IndexLifecycle;
class Localization;
class Preferences;
class SearchSession;

class SettingsPage : public QWidget {
    Q_OBJECT

public:
    // Shows the current value of every control.
    void sync();
    // Sets every text in the current language.
    void translate();

protected:
    SettingsPage(const char* context, QWidget* parent);

    // A titled group of controls; an untitled one without `source`.
    QVBoxLayout* group(const char* source = nullptr);
    QLabel* note(QVBoxLayout* layout, const char* source);
    QCheckBox* check(QVBoxLayout* layout, const char* name, const char* source,
                     std::function<bool()> get, std::function<void(bool)> set);
    // A labelled picker; its items are added by the page.
    QComboBox* choice(QVBoxLayout* layout, const char* name, const char* source,
                      std::function<int()> get, std::function<void(int)> set);
    // Texts that carry values or are not fixed captions.
    virtual void retranslate() {}
    // Runs before the controls read their values.
    virtual void refresh() {}

    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

    TextBinder texts_;

private:
    QVBoxLayout* layout_;
    std::vector<std::function<void()>> syncs_;
};

class GeneralPage : public SettingsPage {
    Q_OBJECT
public:
    GeneralPage(SearchSession& session, Preferences& preferences, QWidget* parent = nullptr);

    // Why the tray icon cannot be shown on this desktop; empty while it can (or is off).
    void setTrayProblem(const QString& problem);
    void setHotKeyProblem(const QString& problem);

protected:
    void retranslate() override;
    void refresh() override;
    void showEvent(QShowEvent* event) override;

private:
    void setLoginItem(bool on);

    QCheckBox* login_ = nullptr;
    // Starting at login: the state read last, and the last failure to switch it.
    LoginItem::State loginItem_ = LoginItem::State::off;
    QString loginItemProblem_;
    QString trayProblemText_;
    HotKeyRecorder* recorder_;
    QLabel* loginReason_;
    QLabel* loginProblem_;
    QLabel* trayProblem_;
};

class ResultsPage : public SettingsPage {
    Q_OBJECT
public:
    ResultsPage(SearchSession& session, Preferences& preferences, QWidget* parent = nullptr);
};

class ColumnsPage : public SettingsPage {
    Q_OBJECT
public:
    explicit ColumnsPage(Preferences& preferences, QWidget* parent = nullptr);
};

class LocalePage : public SettingsPage {
    Q_OBJECT
public:
    LocalePage(Preferences& preferences, Localization& localization, QWidget* parent = nullptr);

protected:
    void refresh() override;

private:
    Localization& localization_;
    QComboBox* language_;
    QComboBox* dateStyle_;
    QComboBox* pathBar_;
};

class AppearancePage : public SettingsPage {
    Q_OBJECT
public:
    explicit AppearancePage(Preferences& preferences, QWidget* parent = nullptr);

protected:
    void refresh() override;

private:
    QComboBox* appearance_;
};

class IndexPage : public SettingsPage {
    Q_OBJECT
public:
    explicit IndexPage(IndexLifecycle& lifecycle, QWidget* parent = nullptr);
};

} // namespace vesko
