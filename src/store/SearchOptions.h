// SPDX-License-Identifier: GPL-3.0-or-later
// The words the window and the desktop's entry points use to describe a search: the filter
// record and the result order. They are the engine's own value types, handed on here so
// that the layers above the store name only the store.
#pragma once

#include "search/Filters.h"
#include "search/ResultSort.h"
