// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/FileActionUndo.h"

#include "store/RenameNoReplace.h"

#include <QByteArray>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace vesko {
namespace {

std::pair<std::string, std::string> split(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return {".", path};
    return {slash == 0 ? "/" : path.substr(0, slash), path.substr(slash + 1)};
}

QString shown(const std::string& bytes) {
    return QString::fromUtf8(bytes);
}

// Whether the Path= of a .trashinfo names `original`. The record should hold the path
// percent-encoded, but Qt writes it as it is, so either form counts; a relative path is
// relative to the volume holding a .Trash-UID folder.
bool recordsPath(const std::string& info, const std::string& trash, const std::string& original) {
    std::ifstream in(info, std::ios::binary);
    std::string line;
    bool section = false;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.starts_with('[')) section = line == "[Trash Info]";
        if (!section || !line.starts_with("Path=")) continue;
        const std::string raw = line.substr(5);
        const std::string decoded =
            QByteArray::fromPercentEncoding(QByteArray::fromStdString(raw)).toStdString();
        const std::string volume = split(trash).first + "/";
        for (const std::string& path : {raw, decoded})
            if (path == original || volume + path == original) return true;
    }
    return false;
}

bool present(const std::string& path) {
    struct stat status {};
    return ::lstat(path.c_str(), &status) == 0;
}

} // namespace

using Why = ActionProblem::Kind;

FileActionUndo::Problem FileActionUndo::restore(const Trashed& item) {
    const auto [files, name] = split(item.inTrash);
    const std::string trash = split(files).first;
    const std::string info = trash + "/info/" + name + ".trashinfo";
    const auto [folder, originalName] = split(item.original);
    if (!present(item.inTrash) || !recordsPath(info, trash, item.original))
        return ActionProblem{Why::notInTrash, shown(originalName), {}, 0, 0, {}};
    if (const int error = moveNoReplace(files, name, folder, originalName)) {
        if (error == EEXIST)
            return ActionProblem{
                Why::placeTaken, shown(originalName), shown(item.original), 0, 0, {}};
        return ActionProblem{Why::notPutBack, shown(originalName), shown(folder), error, 0, {}};
    }
    ::unlink(info.c_str());
    return std::nullopt;
}

FileActionUndo::Problem FileActionUndo::renameBack() const {
    const int error = renameNoReplace(folder, newName, oldName);
    if (error == 0) return std::nullopt;
    const Why kind = error == EEXIST ? Why::nameTaken : Why::notRenamedBack;
    return ActionProblem{kind, shown(newName), shown(oldName), error == EEXIST ? 0 : error, 0, {}};
}

} // namespace vesko
