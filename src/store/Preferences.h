// SPDX-License-Identifier: GPL-3.0-or-later
// The user's display and behaviour preferences, each under a fixed key with a default, read
// once when created and written as soon as one changes. A stored value of the wrong type or
// an unknown text reads as the default, so a hand-edited file never breaks the application.
#pragma once

#include "store/Settings.h"

#include <QCoreApplication>
#include <QObject>
#include <QPalette>
#include <QString>

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>
#include <utility>

namespace vesko {

enum class PathBarStyle { plain, breadcrumb, tilde };
enum class DateStyle { dateOnly, dateTime, longDate, relative, isoDate, isoDateTime };
enum class Appearance { system, light, dark };

// The global hot key: a Qt::Key and the modifier mask (Super 0x100, Shift 0x200, Alt 0x800,
// Ctrl 0x1000), stored as a JSON object {"keyCode":…,"modifiers":…}.
struct HotKeySetting {
    int keyCode = 0x01000036; // Qt::Key_F7
    int modifiers = 0x1000;   // Ctrl
    bool operator==(const HotKeySetting&) const = default;
    QString toJson() const;
    // In the desktop's own key text, for example "Ctrl+F7".
    QString description() const;
    static std::optional<HotKeySetting> fromJson(const QString& json);
};

class Preferences : public QObject {
    Q_OBJECT

public:
    // Reads every key from `settings`, which must outlive this object.
    explicit Preferences(Settings& settings, QObject* parent = nullptr);

    // Raw texts in case order; the first case is the default.
    static constexpr std::array<std::pair<PathBarStyle, std::string_view>, 3> pathBarStyles{
        {{PathBarStyle::plain, "plain"},
         {PathBarStyle::breadcrumb, "breadcrumb"},
         {PathBarStyle::tilde, "tilde"}}};
    static constexpr std::array<std::pair<DateStyle, std::string_view>, 6> dateStyles{
        {{DateStyle::dateOnly, "dateOnly"},
         {DateStyle::dateTime, "dateTime"},
         {DateStyle::longDate, "longDate"},
         {DateStyle::relative, "relative"},
         {DateStyle::isoDate, "isoDate"},
         {DateStyle::isoDateTime, "isoDateTime"}}};
    static constexpr std::array<std::pair<Appearance, std::string_view>, 3> appearances{
        {{Appearance::system, "system"}, {Appearance::light, "light"}, {Appearance::dark, "dark"}}};

    // Applies the appearance to the whole application: the platform's palette for `system`,
    // a palette of our own otherwise (the window layer pairs it with the Fusion style).
    static void apply(Appearance appearance);
    static QPalette palette(Appearance appearance);

    bool showSize() const { return showSize_; }
    bool showModified() const { return showModified_; }
    bool showKind() const { return showKind_; }
    bool showCreated() const { return showCreated_; }
    bool showAccessed() const { return showAccessed_; }
    bool showFullPath() const { return showFullPath_; }
    PathBarStyle pathBarStyle() const { return pathBarStyle_; }
    DateStyle dateStyle() const { return dateStyle_; }
    Appearance appearance() const { return appearance_; }
    double listTextSize() const { return listTextSize_; }
    bool hideFromDock() const { return hideFromDock_; }
    bool showInMenuBar() const { return showInMenuBar_; }
    bool closeAfterOpen() const { return closeAfterOpen_; }
    bool showSidebar() const { return showSidebar_; }
    // Rows show the desktop's cached thumbnails, larger, instead of type icons.
    bool showThumbnails() const { return showThumbnails_; }
    // Whether a query of Korean initial consonants (ㅂㄱㅅ) also finds 보고서.
    bool initialConsonants() const { return initialConsonants_; }
    // Whether names match only with the query's accents (résumé is not resume); the sidebar's
    // Match Diacritics switch, kept across sessions.
    bool matchDiacritics() const { return matchDiacritics_; }
    HotKeySetting hotKey() const { return hotKey_; }
    // Where the preferences are kept; the use counts lie beside it.
    std::string filePath() const { return settings_.filePath(); }
    QString settingsSection() const { return settingsSection_; }

    void setShowSize(bool on);
    void setShowModified(bool on);
    void setShowKind(bool on);
    void setShowCreated(bool on);
    void setShowAccessed(bool on);
    void setShowFullPath(bool on);
    void setPathBarStyle(PathBarStyle style);
    void setDateStyle(DateStyle style);
    // Also applies the appearance to the application.
    void setAppearance(Appearance appearance);
    void setListTextSize(double points);
    // Hiding from the taskbar also shows the tray icon, so a hidden window stays reachable.
    void setHideFromDock(bool on);
    void setShowInMenuBar(bool on);
    void setCloseAfterOpen(bool on);
    void setShowSidebar(bool on);
    void setShowThumbnails(bool on);
    void setInitialConsonants(bool on);
    void setMatchDiacritics(bool on);
    void setHotKey(const HotKeySetting& hotKey);
    void setSettingsSection(const QString& section);

signals:
    // Any preference changed; `key` is its stored key.
    void changed(const QString& key);
    void menuBarChanged(bool shown);
    void hotKeyChanged(const HotKeySetting& hotKey);
    // The result list draws its dates again.
    void dateStyleChanged();
    void appearanceChanged(Appearance appearance);

private:
    void writeBoolean(const char* key, bool& member, bool on);

    Settings& settings_;
    bool showSize_ = true;
    bool showModified_ = true;
    bool showKind_ = true;
    bool showCreated_ = false;
    bool showAccessed_ = false;
    bool showFullPath_ = true;
    PathBarStyle pathBarStyle_ = PathBarStyle::tilde;
    DateStyle dateStyle_ = DateStyle::dateOnly;
    Appearance appearance_ = Appearance::system;
    double listTextSize_ = 12;
    bool hideFromDock_ = false;
    bool showInMenuBar_ = false;
    bool closeAfterOpen_ = false;
    bool showSidebar_ = true;
    bool showThumbnails_ = false;
    bool initialConsonants_ = true;
    bool matchDiacritics_ = false;
    HotKeySetting hotKey_;
    QString settingsSection_ = "general";
};

} // namespace vesko
