// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/Localization.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QLocale>

#include <algorithm>

namespace vesko {
namespace {

constexpr const char* languageKey = "language";
const QString folder = QStringLiteral(":/i18n");
const QString prefix = QStringLiteral("vesko_");

QString endonym(const QString& code) {
    const QLocale locale(code);
    const QString name = locale.nativeLanguageName();
    if (locale.language() == QLocale::C || name.isEmpty()) return code;
    return name.left(1).toUpper() + name.mid(1);
}

std::unique_ptr<QTranslator> translator(const QString& code) {
    auto loaded = std::make_unique<QTranslator>();
    if (!loaded->load(folder + '/' + prefix + code)) return nullptr;
    return loaded;
}

// Qt's own texts (key names such as "Down", the standard dialogs' buttons), when the
// system has Qt's translations installed.
std::unique_ptr<QTranslator> qtTranslator(const QString& code) {
    auto loaded = std::make_unique<QTranslator>();
    if (!loaded->load("qtbase_" + code, QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return nullptr;
    return loaded;
}

// The first of the system's preferred languages that has a translation.
QString systemLanguage() {
    const auto codes = Localization::availableCodes();
    for (const QString& wanted : QLocale::system().uiLanguages()) {
        const QString language = QLocale(wanted).name().section('_', 0, 0);
        if (std::find(codes.begin(), codes.end(), language) != codes.end()) return language;
    }
    return QStringLiteral("en");
}

} // namespace

Localization::Localization(Settings& settings, QObject* parent)
    : QObject(parent), settings_(settings) {
    const std::string stored = settings.text(languageKey);
    if (!stored.empty()) language_ = QString::fromStdString(stored);
    install();
}

Localization::~Localization() {
    if (chosen_) QCoreApplication::removeTranslator(chosen_.get());
    if (qt_) QCoreApplication::removeTranslator(qt_.get());
    if (english_) QCoreApplication::removeTranslator(english_.get());
}

std::vector<QString> Localization::availableCodes() {
    std::vector<QString> codes;
    const QStringList files = QDir(folder).entryList({prefix + "*.qm"}, QDir::Files);
    for (const QString& file : files)
        codes.push_back(file.mid(prefix.size()).chopped(3));
    return codes;
}

std::vector<Localization::Choice> Localization::choices() const {
    std::vector<QString> others;
    for (const QString& code : availableCodes())
        if (code != "en") others.push_back(code);
    std::sort(others.begin(), others.end(), [](const QString& a, const QString& b) {
        return QString::localeAwareCompare(endonym(a), endonym(b)) < 0;
    });
    std::vector<Choice> list{{std::nullopt, {}},
                             {QStringLiteral("en"), endonym(QStringLiteral("en"))}};
    for (const QString& code : others)
        list.push_back({code, endonym(code)});
    return list;
}

void Localization::setLanguage(const std::optional<QString>& code) {
    const std::optional<QString> wanted = code && !code->isEmpty() ? code : std::nullopt;
    if (wanted == language_) return;
    language_ = wanted;
    if (wanted)
        settings_.setText(languageKey, wanted->toStdString());
    else
        settings_.remove(languageKey);
    install();
    emit languageChanged();
}

void Localization::install() {
    if (chosen_) QCoreApplication::removeTranslator(chosen_.get());
    if (qt_) QCoreApplication::removeTranslator(qt_.get());
    chosen_.reset();
    qt_.reset();
    // Dates, sizes and file kinds follow a language the user picked here; with the system's
    // choice they follow the system's locale.
    if (language_)
        QLocale::setDefault(QLocale(*language_));
    else if (languageFollowedBefore_)
        QLocale::setDefault(QLocale::system());
    languageFollowedBefore_ = language_.has_value();
    if (!english_) {
        english_ = translator(QStringLiteral("en"));
        if (english_) QCoreApplication::installTranslator(english_.get());
    }
    const QString code = language_.value_or(systemLanguage());
    shown_ = QStringLiteral("en");
    if (code == "en") return;
    chosen_ = translator(code);
    if (!chosen_) return;
    qt_ = qtTranslator(code);
    if (qt_) QCoreApplication::installTranslator(qt_.get());
    QCoreApplication::installTranslator(chosen_.get());
    shown_ = code;
}

} // namespace vesko
