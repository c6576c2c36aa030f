// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/Preferences.h"

#include <QGuiApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QKeySequence>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace vesko {
namespace {

constexpr const char* showSizeKey = "showSize";
constexpr const char* showModifiedKey = "showModified";
constexpr const char* showKindKey = "showKind";
constexpr const char* showCreatedKey = "showCreated";
constexpr const char* showAccessedKey = "showAccessed";
constexpr const char* showFullPathKey = "showFullPath";
constexpr const char* pathBarStyleKey = "pathBarStyle";
constexpr const char* dateStyleKey = "dateStyle";
constexpr const char* appearanceKey = "appearance";
constexpr const char* listTextSizeKey = "listTextSize";
constexpr const char* hideFromDockKey = "hideFromDock";
constexpr const char* showInMenuBarKey = "showInMenuBar";
constexpr const char* closeAfterOpenKey = "closeAfterOpen";
constexpr const char* showSidebarKey = "showSidebar";
constexpr const char* showThumbnailsKey = "showThumbnails";
constexpr const char* initialConsonantsKey = "initialConsonants";
constexpr const char* matchDiacriticsKey = "matchDiacritics";
constexpr const char* hotKeyKey = "hotKey";
constexpr const char* settingsSectionKey = "settingsSection";

// Point sizes outside this range make the list unreadable; they read as the default.
constexpr double smallestTextSize = 6;
constexpr double largestTextSize = 72;

template <typename Enum, std::size_t N>
Enum fromRaw(const std::array<std::pair<Enum, std::string_view>, N>& cases, const std::string& raw,
             Enum fallback) {
    for (const auto& [value, text] : cases)
        if (text == raw) return value;
    return fallback;
}

template <typename Enum, std::size_t N>
Enum fromRaw(const std::array<std::pair<Enum, std::string_view>, N>& cases,
             const std::string& raw) {
    return fromRaw(cases, raw, cases.front().first);
}

template <typename Enum, std::size_t N>
std::string toRaw(const std::array<std::pair<Enum, std::string_view>, N>& cases, Enum value) {
    for (const auto& [item, text] : cases)
        if (item == value) return std::string(text);
    return std::string(cases.front().second);
}

// A key the recorder can store: a printable character or a named key of the keyboard,
// never a modifier on its own.
bool isRecordableKey(int key) {
    if (key < 0x01000000) return key >= 0x20 && key <= 0x10ffff && QChar::isPrint(char32_t(key));
    const bool named = (key >= Qt::Key_Escape && key <= Qt::Key_Clear) ||
                       (key >= Qt::Key_Home && key <= Qt::Key_PageDown) ||
                       (key >= Qt::Key_F1 && key <= Qt::Key_F35) || key == Qt::Key_Menu ||
                       key == Qt::Key_Help || (key >= Qt::Key_Back && key <= 0x010000ff);
    return named && !QKeySequence(key).toString(QKeySequence::PortableText).isEmpty();
}

} // namespace

QString HotKeySetting::toJson() const {
    const QJsonObject object{{"keyCode", keyCode}, {"modifiers", modifiers}};
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

std::optional<HotKeySetting> HotKeySetting::fromJson(const QString& json) {
    const QJsonDocument document = QJsonDocument::fromJson(json.toUtf8());
    const QJsonObject object = document.object();
    const QJsonValue key = object.value("keyCode");
    const QJsonValue modifiers = object.value("modifiers");
    auto whole = [](const QJsonValue& value) {
        return value.isDouble() && std::trunc(value.toDouble()) == value.toDouble() &&
               std::abs(value.toDouble()) < 2147483648.0;
    };
    if (!document.isObject() || !whole(key) || !whole(modifiers)) return std::nullopt;
    // A shortcut without modifiers would take the key from every application.
    const int mask = modifiers.toInt();
    if (mask == 0 || (mask & ~0x1b00) != 0 || !isRecordableKey(key.toInt())) return std::nullopt;
    return HotKeySetting{key.toInt(), mask};
}

QString HotKeySetting::description() const {
    // The stored mask keeps the modifiers apart from the key, so a changed Qt modifier
    // numbering can never turn a stored shortcut into another one.
    int combined = keyCode;
    if (modifiers & 0x1000) combined |= Qt::ControlModifier;
    if (modifiers & 0x800) combined |= Qt::AltModifier;
    if (modifiers & 0x200) combined |= Qt::ShiftModifier;
    if (modifiers & 0x100) combined |= Qt::MetaModifier;
    return QKeySequence(combined).toString(QKeySequence::NativeText);
}

Preferences::Preferences(Settings& settings, QObject* parent)
    : QObject(parent), settings_(settings) {
    showSize_ = settings.boolean(showSizeKey, true);
    showModified_ = settings.boolean(showModifiedKey, true);
    showKind_ = settings.boolean(showKindKey, true);
    showCreated_ = settings.boolean(showCreatedKey, false);
    showAccessed_ = settings.boolean(showAccessedKey, false);
    showFullPath_ = settings.boolean(showFullPathKey, true);
    // The home folder as "~" unless asked otherwise: it is the prefix most paths share.
    pathBarStyle_ = fromRaw(pathBarStyles, settings.text(pathBarStyleKey), PathBarStyle::tilde);
    dateStyle_ = fromRaw(dateStyles, settings.text(dateStyleKey));
    appearance_ = fromRaw(appearances, settings.text(appearanceKey));
    const double size = settings.real(listTextSizeKey, 12);
    if (size >= smallestTextSize && size <= largestTextSize) listTextSize_ = size;
    hideFromDock_ = settings.boolean(hideFromDockKey, false);
    showInMenuBar_ = settings.boolean(showInMenuBarKey, false);
    closeAfterOpen_ = settings.boolean(closeAfterOpenKey, false);
    showSidebar_ = settings.boolean(showSidebarKey, true);
    showThumbnails_ = settings.boolean(showThumbnailsKey, false);
    initialConsonants_ = settings.boolean(initialConsonantsKey, true);
    matchDiacritics_ = settings.boolean(matchDiacriticsKey, false);
    hotKey_ = HotKeySetting::fromJson(QString::fromStdString(settings.text(hotKeyKey)))
                  .value_or(HotKeySetting{});
    const QString section = QString::fromStdString(settings.text(settingsSectionKey));
    if (!section.isEmpty()) settingsSection_ = section;
}

QPalette Preferences::palette(Appearance appearance) {
    if (appearance == Appearance::system) return QPalette();
    const bool dark = appearance == Appearance::dark;
    const QColor window = dark ? QColor(53, 53, 57) : QColor(246, 246, 246);
    const QColor base = dark ? QColor(24, 24, 26) : QColor(255, 255, 255);
    const QColor text = dark ? QColor(230, 230, 230) : QColor(20, 20, 20);
    const QColor highlight = dark ? QColor(42, 110, 200) : QColor(48, 120, 220);
    QPalette palette(text, window, window.lighter(130), window.darker(160), window.darker(120),
                     text, Qt::white, base, window);
    palette.setColor(QPalette::AlternateBase, dark ? QColor(32, 32, 35) : window);
    palette.setColor(QPalette::Highlight, highlight);
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::ToolTipBase, base);
    palette.setColor(QPalette::ToolTipText, text);
    palette.setColor(QPalette::PlaceholderText,
                     dark ? QColor(140, 140, 140) : QColor(120, 120, 120));
    palette.setColor(QPalette::Link, highlight);
    palette.setColor(QPalette::Disabled, QPalette::Text, QColor(128, 128, 128));
    palette.setColor(QPalette::Disabled, QPalette::WindowText, QColor(128, 128, 128));
    palette.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(128, 128, 128));
    return palette;
}

void Preferences::apply(Appearance appearance) {
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        QGuiApplication::setPalette(palette(appearance));
}

void Preferences::writeBoolean(const char* key, bool& member, bool on) {
    member = on;
    settings_.setBoolean(key, on);
    emit changed(QString::fromLatin1(key));
}

void Preferences::setShowSize(bool on) {
    writeBoolean(showSizeKey, showSize_, on);
}
void Preferences::setShowModified(bool on) {
    writeBoolean(showModifiedKey, showModified_, on);
}
void Preferences::setShowKind(bool on) {
    writeBoolean(showKindKey, showKind_, on);
}
void Preferences::setShowCreated(bool on) {
    writeBoolean(showCreatedKey, showCreated_, on);
}
void Preferences::setShowAccessed(bool on) {
    writeBoolean(showAccessedKey, showAccessed_, on);
}
void Preferences::setShowFullPath(bool on) {
    writeBoolean(showFullPathKey, showFullPath_, on);
}
void Preferences::setCloseAfterOpen(bool on) {
    writeBoolean(closeAfterOpenKey, closeAfterOpen_, on);
}
void Preferences::setShowSidebar(bool on) {
    writeBoolean(showSidebarKey, showSidebar_, on);
}
void Preferences::setShowThumbnails(bool on) {
    writeBoolean(showThumbnailsKey, showThumbnails_, on);
}
void Preferences::setInitialConsonants(bool on) {
    writeBoolean(initialConsonantsKey, initialConsonants_, on);
}
void Preferences::setMatchDiacritics(bool on) {
    writeBoolean(matchDiacriticsKey, matchDiacritics_, on);
}

void Preferences::setPathBarStyle(PathBarStyle style) {
    pathBarStyle_ = style;
    settings_.setText(pathBarStyleKey, toRaw(pathBarStyles, style));
    emit changed(pathBarStyleKey);
}

void Preferences::setDateStyle(DateStyle style) {
    dateStyle_ = style;
    settings_.setText(dateStyleKey, toRaw(dateStyles, style));
    emit changed(dateStyleKey);
    emit dateStyleChanged();
}

void Preferences::setAppearance(Appearance appearance) {
    appearance_ = appearance;
    settings_.setText(appearanceKey, toRaw(appearances, appearance));
    apply(appearance);
    emit changed(appearanceKey);
    emit appearanceChanged(appearance);
}

void Preferences::setListTextSize(double points) {
    if (!std::isfinite(points)) return;
    listTextSize_ = std::clamp(points, smallestTextSize, largestTextSize);
    settings_.setReal(listTextSizeKey, listTextSize_);
    emit changed(listTextSizeKey);
}

void Preferences::setHideFromDock(bool on) {
    writeBoolean(hideFromDockKey, hideFromDock_, on);
    if (on && !showInMenuBar_) setShowInMenuBar(true);
}

void Preferences::setShowInMenuBar(bool on) {
    writeBoolean(showInMenuBarKey, showInMenuBar_, on);
    emit menuBarChanged(on);
}

void Preferences::setHotKey(const HotKeySetting& hotKey) {
    hotKey_ = hotKey;
    settings_.setText(hotKeyKey, hotKey.toJson().toStdString());
    emit changed(hotKeyKey);
    emit hotKeyChanged(hotKey);
}

void Preferences::setSettingsSection(const QString& section) {
    if (section.isEmpty()) return;
    settingsSection_ = section;
    settings_.setText(settingsSectionKey, section.toStdString());
    emit changed(settingsSectionKey);
}

} // namespace vesko
