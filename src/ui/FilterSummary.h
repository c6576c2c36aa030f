// SPDX-License-Identifier: GPL-3.0-or-later
// The one-line summaries a closed sidebar section shows of its filter settings, so a hidden
// setting that narrows the results is never invisible. Empty when the section is at its
// defaults.
#pragma once

#include "store/SearchOptions.h"

#include <QString>

namespace vesko::FilterSummary {

QString kind(const Filters& filters);
QString name(const Filters& filters);
QString contents(const Filters& filters);
QString sizeAndDate(const Filters& filters);

// The sidebar's names of the choices, shared with its pickers.
QString unitText(Filters::SizeUnit unit);
QString dateFieldText(Filters::DateField field);
// Also the quick filter buttons' words; empty for `any`.
QString rangeText(Filters::DateRange range);
QString familyText(Filters::Family family);

} // namespace vesko::FilterSummary
