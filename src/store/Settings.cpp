// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/Settings.h"

#include "scan/Roots.h"

#include <QDateTime>
#include <QFile>
#include <QSettings>
#include <QStringList>
#include <QVariant>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <optional>

namespace vesko {
namespace {

constexpr const char* extraRootsKey = "extraRoots";
constexpr const char* excludedFoldersKey = "excludedFolders";

QString qt(const std::string& text) {
    return QString::fromStdString(text);
}

std::vector<std::string> toStd(const QStringList& list) {
    std::vector<std::string> out;
    out.reserve(static_cast<std::size_t>(list.size()));
    for (const auto& item : list)
        out.push_back(item.toStdString());
    return out;
}

bool isIntegerType(const QVariant& value) {
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::ULong:
    case QMetaType::ULongLong:
        return true;
    default:
        return false;
    }
}

// A list read back from the file: QStringList when it had a comma, QString for one element,
// an invalid value for "@Invalid()" (an empty list). Values written in this process keep
// their own type until the file is read again, so QVariantList is accepted too.
std::optional<QStringList> asStringList(const QVariant& value) {
    if (!value.isValid()) return QStringList{};
    switch (value.typeId()) {
    case QMetaType::QStringList:
        return value.toStringList();
    case QMetaType::QString:
        return QStringList{value.toString()};
    case QMetaType::QVariantList: {
        const auto items = value.toList();
        const bool allText = std::all_of(items.begin(), items.end(), [](const QVariant& item) {
            return item.typeId() == QMetaType::QString;
        });
        if (allText) return value.toStringList();
        return std::nullopt;
    }
    default:
        return std::nullopt;
    }
}

// The text a scalar has in the file, so that a value reads the same before and after the
// file is read again: numbers and Booleans written in this process are still typed.
std::optional<QString> asText(const QVariant& value) {
    if (value.typeId() == QMetaType::QString) return value.toString();
    if (value.typeId() == QMetaType::Bool || value.typeId() == QMetaType::Double ||
        isIntegerType(value))
        return value.toString();
    if (value.typeId() == QMetaType::QStringList && value.toStringList().size() == 1)
        return value.toStringList().front();
    return std::nullopt;
}

bool allStartWith(const std::vector<std::string>& paths, const std::string& starts) {
    return std::all_of(paths.begin(), paths.end(), [&](const std::string& path) {
        return !path.empty() && starts.find(path.front()) != std::string::npos;
    });
}

// Keeps a copy of a file QSettings could not parse: its next write would drop the lines it
// did not understand.
std::string keepUnreadableFile(const QString& path) {
    const QString copy =
        path + ".unreadable-" + QString::number(QDateTime::currentSecsSinceEpoch());
    if (!QFile::copy(path, copy))
        return "The settings file " + path.toStdString() +
               " could not be read completely and could not be copied aside; "
               "fix or remove it before changing settings.";
    return "The settings file " + path.toStdString() +
           " could not be read completely; the unreadable lines are kept in " + copy.toStdString() +
           ".";
}

} // namespace

Settings::Settings() : Settings(defaultFilePath()) {}

Settings::Settings(const std::string& filePath)
    : settings_(std::make_unique<QSettings>(qt(filePath), QSettings::IniFormat)) {
    if (settings_->status() == QSettings::FormatError)
        problem_ = keepUnreadableFile(settings_->fileName());
}

Settings::~Settings() = default;

std::string Settings::defaultFilePath() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    const std::string base =
        config && config[0] == '/' ? std::string(config) : homeFolder() + "/.config";
    return base + "/vesko/vesko.conf";
}

std::string Settings::filePath() const {
    return settings_->fileName().toStdString();
}

std::vector<std::string> Settings::stringList(const std::string& key,
                                              const std::vector<std::string>& fallback) const {
    if (!contains(key)) return fallback;
    const auto list = asStringList(settings_->value(qt(key)));
    return list ? toStd(*list) : fallback;
}

bool Settings::boolean(const std::string& key, bool fallback) const {
    const auto value = settings_->value(qt(key));
    if (value.typeId() == QMetaType::Bool) return value.toBool();
    const auto text = asText(value);
    if (!text) return fallback;
    const QString word = text->trimmed().toLower();
    if (word == "true" || word == "1") return true;
    if (word == "false" || word == "0") return false;
    return fallback;
}

std::int64_t Settings::integer(const std::string& key, std::int64_t fallback) const {
    const auto text = asText(settings_->value(qt(key)));
    if (!text) return fallback;
    bool ok = false;
    const qlonglong number = text->trimmed().toLongLong(&ok, 10);
    return ok ? number : fallback;
}

double Settings::real(const std::string& key, double fallback) const {
    const auto text = asText(settings_->value(qt(key)));
    if (!text) return fallback;
    bool ok = false;
    const double number = text->trimmed().toDouble(&ok);
    return ok && std::isfinite(number) ? number : fallback;
}

std::string Settings::text(const std::string& key, const std::string& fallback) const {
    const auto text = asText(settings_->value(qt(key)));
    return text ? text->toStdString() : fallback;
}

void Settings::setStringList(const std::string& key, const std::vector<std::string>& value) {
    QStringList list;
    list.reserve(static_cast<qsizetype>(value.size()));
    for (const auto& item : value)
        list.push_back(qt(item));
    settings_->setValue(qt(key), list);
}

void Settings::setBoolean(const std::string& key, bool value) {
    settings_->setValue(qt(key), value);
}

void Settings::setInteger(const std::string& key, std::int64_t value) {
    settings_->setValue(qt(key), static_cast<qlonglong>(value));
}

void Settings::setReal(const std::string& key, double value) {
    settings_->setValue(qt(key), value);
}

void Settings::setText(const std::string& key, const std::string& value) {
    settings_->setValue(qt(key), qt(value));
}

bool Settings::contains(const std::string& key) const {
    return settings_->contains(qt(key));
}

void Settings::remove(const std::string& key) {
    settings_->remove(qt(key));
}

bool Settings::sync() {
    settings_->sync();
    if (settings_->status() != QSettings::AccessError) return true;
    problem_ = "The settings could not be saved to " + filePath() +
               "; check that its folder exists and is writable.";
    return false;
}

std::vector<std::string> Settings::extraRoots() const {
    auto roots = stringList(extraRootsKey);
    return allStartWith(roots, "/") ? roots : std::vector<std::string>{};
}

void Settings::setExtraRoots(const std::vector<std::string>& roots) {
    setStringList(extraRootsKey, roots);
}

std::vector<std::string> Settings::excludedFolders() const {
    const auto folders = stringList(excludedFoldersKey);
    if (!allStartWith(folders, "/~")) return {};
    return Exclusions::normalize(folders, homeFolder());
}

void Settings::setExcludedFolders(const std::vector<std::string>& folders) {
    setStringList(excludedFoldersKey, Exclusions::normalize(folders, homeFolder()));
}

} // namespace vesko
