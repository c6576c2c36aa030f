// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/TextBinder.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

namespace vesko {

void TextBinder::text(QWidget* shown, const char* source, QWidget* named) {
    captions_.push_back({shown, source, named});
    if (auto* label = qobject_cast<QLabel*>(shown); label && named) label->setBuddy(named);
}

void TextBinder::placeholder(QLineEdit* field, const char* source) {
    placeholders_.push_back({field, source});
}

void TextBinder::items(QComboBox* box, std::vector<const char*> sources) {
    while (box->count() < static_cast<int>(sources.size()))
        box->addItem(QString());
    items_.push_back({box, std::move(sources)});
}

QString TextBinder::translated(const char* source) const {
    return QCoreApplication::translate(context_, source);
}

void TextBinder::apply() const {
    for (const Caption& caption : captions_) {
        if (!caption.shown) continue;
        const QString text = translated(caption.source);
        QString shown = text;
        // Buttons and labels that name a control read "&" as a shortcut marker.
        shown.replace('&', QStringLiteral("&&"));
        if (auto* label = qobject_cast<QLabel*>(caption.shown))
            label->setText(label->buddy() ? shown : text);
        else if (auto* button = qobject_cast<QAbstractButton*>(caption.shown))
            button->setText(shown);
        else if (auto* group = qobject_cast<QGroupBox*>(caption.shown))
            group->setTitle(text);
        caption.shown->setAccessibleName(text);
        if (caption.named) caption.named->setAccessibleName(text);
    }
    for (const Placeholder& placeholder : placeholders_)
        if (placeholder.field)
            placeholder.field->setPlaceholderText(translated(placeholder.source));
    for (const Items& items : items_)
        for (int i = 0; items.box && i < static_cast<int>(items.sources.size()); ++i)
            items.box->setItemText(i, translated(items.sources[i]));
}

} // namespace vesko
