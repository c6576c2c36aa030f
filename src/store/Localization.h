// SPDX-License-Identifier: GPL-3.0-or-later
// Which language the texts are shown in. Every user-visible text is looked up by its
// English wording through tr(); the translations are compiled into the program, and the
// language the user picks replaces them at run time, without a restart.
#pragma once

#include "store/Settings.h"

#include <QObject>
#include <QString>
#include <QTranslator>

#include <memory>
#include <optional>
#include <vector>

namespace vesko {

class Localization : public QObject {
    Q_OBJECT

public:
    struct Choice {
        std::optional<QString> code; // none: the system's language
        QString endonym;             // the language's name in itself; none for the system's
        QString identity() const { return code.value_or(QStringLiteral("system")); }
        bool operator==(const Choice&) const = default;
    };

    // Reads "language" from `settings` (which must outlive this object) and installs the
    // translation it names on the application.
    explicit Localization(Settings& settings, QObject* parent = nullptr);
    ~Localization() override;

    // The system's language first, then English, then the others by name.
    std::vector<Choice> choices() const;
    // Language codes with a translation compiled in ("en", "ko").
    static std::vector<QString> availableCodes();

    std::optional<QString> language() const { return language_; }
    // Stores the choice (none removes the key) and switches every text at once. A language
    // without a translation shows the English texts.
    void setLanguage(const std::optional<QString>& code);
    // The language whose texts are shown now ("en" when none matched).
    QString shownLanguage() const { return shown_; }

signals:
    // Menus, windows and status texts should be rebuilt in the new language.
    void languageChanged();

private:
    void install();

    Settings& settings_;
    std::optional<QString> language_;
    QString shown_ = QStringLiteral("en");
    // English carries only the plural forms; the chosen language sits above it.
    std::unique_ptr<QTranslator> english_;
    std::unique_ptr<QTranslator> chosen_;
    std::unique_ptr<QTranslator> qt_;
    // Whether the default locale was set from a chosen language, so the system's is restored.
    bool languageFollowedBefore_ = false;
};

} // namespace vesko
