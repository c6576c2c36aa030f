// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/OddNames.h"

namespace vesko::test {

std::vector<std::string> OddNames::all() const {
    return {invalid, repaired, newline, rightToLeft, longest, link, target, dangling, decomposed};
}

OddNames makeOddNames(TempTree& tree, const std::string& folder) {
    const auto file = [&](const std::string& name) { return tree.file(folder + "/" + name, name); };
    OddNames names;
    names.invalid = file("bad\xFFname.txt");
    names.repaired = file("bad\xEF\xBF\xBDname.txt");
    names.newline = file("new\nline.txt");
    names.rightToLeft = file("rtl\xE2\x80\xAEtxt.exe");
    const std::string stem = "long-";
    names.longest = file(stem + std::string(255 - stem.size() - 4, 'x') + ".txt");
    names.target = file("target.txt");
    names.link = tree.symlink("target.txt", folder + "/link-to-target.txt");
    names.dangling = tree.symlink("nowhere.txt", folder + "/dangling-link.txt");
    names.decomposed = file("re\xCC\x81sume\xCC\x81.txt");
    return names;
}

} // namespace vesko::test
