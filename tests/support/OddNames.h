// SPDX-License-Identifier: GPL-3.0-or-later
// Names that a file manager gets wrong when it identifies a file by the text it shows: each
// stands in a folder of its own making, and the invalid one has a decoy beside it whose name
// is what a lossy decoding turns it into.
#pragma once

#include "support/TempTree.h"

#include <string>
#include <vector>

namespace vesko::test {

struct OddNames {
    std::string invalid;     // bad\xFFname.txt: not UTF-8
    std::string repaired;    // bad\uFFFDname.txt: the invalid name as a lossy decoding shows it
    std::string newline;     // a line feed inside the name
    std::string rightToLeft; // rtl\u202Etxt.exe: shown reversed as "rtlexe.txt"
    std::string longest;     // 255 bytes, the most a Linux name holds
    std::string link;        // a symbolic link to `target`
    std::string target;
    std::string dangling;   // a symbolic link to nothing
    std::string decomposed; // résumé.txt in NFD, with no NFC twin

    // Every path above, the decoy included.
    std::vector<std::string> all() const;
};

// Makes the corpus in `folder` (relative to the tree's root); each file holds its own name,
// so a test can tell them apart by content too.
OddNames makeOddNames(TempTree& tree, const std::string& folder);

} // namespace vesko::test
