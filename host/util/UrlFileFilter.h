#pragma once
// The Help menu's link files: the ".url" files of the help folder, listed in
// the folder's own order, and opening a file with the desktop's program for it.

#include <string>
#include <vector>

#include "host/util/QKOsUtilLib.h"

class UrlFileFilter : public QKOsUtilLib::FileFilter {
public:
    // True when the text after the last '.' is "url", in lower case.
    bool accept(const char* name) override;
};

struct HelpLinkItem {
    int id;
    std::string text;
};

// The link files of folder, with the filter above; null when the folder
// cannot be opened. The Directory holds the list.
QKOsUtilLib::StringList* listHelpLinks(QKOsUtilLib::Directory& directory, const std::string& folder);
// Menu items for the list: entry i gets id i + 2 and the text of its file
// name before the last '.'; an entry without '/' or '.' keeps its id unused.
std::vector<HelpLinkItem> helpLinkItems(const QKOsUtilLib::StringList* links);
// The "About" item's id: after every link's id (2 without a list).
int helpAboutId(const QKOsUtilLib::StringList* links);

// Starts xdg-open on path without a shell and without waiting for it; false
// when it could not be started.
bool openWithAssociatedProgram(const std::string& path);
