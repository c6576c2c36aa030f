// SPDX-License-Identifier: GPL-3.0-or-later
// The user's folders as the index finds and makes them (the home folder, private folders)
// and the descriptor that owns an open file, handed on for the layers above the store,
// which reach the engine only through it.
#pragma once

#include "index/FileDescriptor.h"
#include "index/HomeFolder.h"
#include "index/PrivateFolders.h"
