// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/FindService.h"

#include "shell/SingleInstance.h"

namespace vesko {

FindService::FindService(QueryService service, QObject* parent)
    : QObject(parent), service_(service) {}

void FindService::attach(SingleInstance& instance) {
    instance.setHandler("find", [this](const QByteArray& argument, SingleInstance::Reply reply) {
        service_.find(argument, reply);
    });
}

} // namespace vesko
