// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/MimeKinds.h"

#include <QMimeDatabase>
#include <QMimeType>
#include <QString>

namespace vesko::MimeKinds {

std::string describe(std::string_view extension) {
    if (extension.empty()) return {};
    const QMimeDatabase database; // a handle on the process-wide, lazily loaded database
    const QString probe =
        QStringLiteral("x.") + QString::fromUtf8(extension.data(), qsizetype(extension.size()));
    const QMimeType type = database.mimeTypeForFile(probe, QMimeDatabase::MatchExtension);
    if (!type.isValid() || type.isDefault()) return {};
    return type.comment().toStdString();
}

TopSelector::KindLookup lookup() {
    return [](std::string_view extension) { return describe(extension); };
}

} // namespace vesko::MimeKinds
